// The program's skins: three looks of our own for every window (main window, dialogs, tool windows and the
// browser window's frame), carried as data blocks (":/skins/skinN.vskin") in a small text format:
//
//   VSKIN 1                          the first line, exactly
//   # comment                        blank lines and comments are skipped
//   name: 暖橙                        the skin's name (required)
//   palette Window: #f7f4f0          a palette colour for every colour group ...
//   palette Disabled.Text: #a59d95   ... or for one group (Active, Inactive, Disabled)
//   ---                              ends the header; the rest of the block is a Qt style sheet
//
// Roles are QPalette::ColorRole names; colours anything QColor reads. A block that breaks any rule (or whose
// style sheet has unbalanced braces, as a cut-off block has) is refused as a whole.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QPalette>
#include <QString>
#include <functional>
#include <optional>

namespace vantrel {
class MappedModule;
}

namespace vantrel::gui {

struct Skin {
    QString name;
    QPalette palette;
    QString styleSheet;
};

// The skin in block, or nothing when the block breaks the format.
std::optional<Skin> ParseSkin(QByteArrayView block);

// The bytes of skin n (1 to 3) as the program carries them; empty for any other n.
QByteArray SkinBlock(int n);

// Where SkinBlock takes the blocks from. Tests replace it (to attach broken data, say); an empty function
// restores the program's own blocks.
using SkinBlockSource = std::function<QByteArray(int n)>;
void SetSkinBlockSource(SkinBlockSource source);

// Applies the skin in block to the whole application through Qt's style machinery (the Fusion style, the
// skin's palette and its style sheet). A broken block changes nothing and gives false.
bool AttachSkinData(QByteArrayView block);

// Start-up: maps the skin library image the program carries into the skin module. Only Windows x86 builds
// configured with VANTREL_SKIN_LIBRARY_IMAGE carry one; elsewhere there is no image and this gives false.
bool LoadSkinLibrary();

// The process-wide skin module (empty unless LoadSkinLibrary succeeded).
const MappedModule& SkinModule();

// Attaches skin n (1 to 3; any other n does nothing). When the skin library is loaded and exports
// SkinH_AttachRes (looked up on every call), the library gets the skin's bytes; otherwise our own skin is
// applied with AttachSkinData. Never fails loudly: a skin that cannot be attached leaves the standard look.
// True when a skin was attached.
bool AttachSkin(int n);

}  // namespace vantrel::gui
