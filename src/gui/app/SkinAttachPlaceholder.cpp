#include "app/SkinAttachPlaceholder.h"

namespace vantrel::gui {

bool AttachSkinPlaceholder(int /*skinNumber*/) {
    return false;
}

}  // namespace vantrel::gui
