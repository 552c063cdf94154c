#include "skin/Skin.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QMetaEnum>
#include <QStringDecoder>
#include <QStringList>
#include <QStringView>
#include <QStyle>
#include <QStyleFactory>
#include <cstdint>
#include <span>
#include <utility>

#include "skin/MappedModule.h"
#include "skin/SkinLibraryImage.h"

// The skin blocks live in a resource file compiled into the static GUI library; referencing it keeps it linked.
static void InitSkinResources() {
    Q_INIT_RESOURCE(skins);
}

namespace vantrel::gui {
namespace {

constexpr qsizetype kMaxBlockSize = 256 * 1024;
constexpr QStringView kMagic = u"VSKIN 1";
constexpr QStringView kHeaderEnd = u"---";

std::optional<QPalette::ColorGroup> GroupNamed(QStringView name) {
    if (name == u"Active") {
        return QPalette::Active;
    }
    if (name == u"Inactive") {
        return QPalette::Inactive;
    }
    if (name == u"Disabled") {
        return QPalette::Disabled;
    }
    return std::nullopt;
}

std::optional<QPalette::ColorRole> RoleNamed(QStringView name) {
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    bool ok = false;
    const int value = roles.keyToValue(name.toLatin1().constData(), &ok);
    if (!ok || value < 0 || value >= QPalette::NColorRoles || name == u"NoRole") {
        return std::nullopt;
    }
    return static_cast<QPalette::ColorRole>(value);
}

// "palette [Group.]Role: colour" into palette; false when any part is unknown.
bool ReadPaletteLine(QStringView key, QStringView value, QPalette& palette) {
    const QColor colour = QColor::fromString(value);
    if (!colour.isValid()) {
        return false;
    }
    const qsizetype dot = key.indexOf(u'.');
    const auto role = RoleNamed(dot < 0 ? key : key.mid(dot + 1));
    if (!role) {
        return false;
    }
    if (dot < 0) {
        palette.setColor(*role, colour);  // every group
        return true;
    }
    const auto group = GroupNamed(key.left(dot));
    if (!group) {
        return false;
    }
    palette.setColor(*group, *role, colour);
    return true;
}

// Braces outside comments and strings pair up: a cut-off or mangled style sheet does not.
bool BracesBalance(QStringView sheet) {
    int depth = 0;
    for (qsizetype i = 0; i < sheet.size(); ++i) {
        const QChar c = sheet[i];
        if (c == u'/' && i + 1 < sheet.size() && sheet[i + 1] == u'*') {
            const qsizetype end = sheet.indexOf(u"*/", i + 2);
            if (end < 0) {
                return false;
            }
            i = end + 1;
        } else if (c == u'"' || c == u'\'') {
            const qsizetype end = sheet.indexOf(c, i + 1);
            if (end < 0) {
                return false;
            }
            i = end;
        } else if (c == u'{') {
            ++depth;
        } else if (c == u'}' && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

// The skin library's attach call. Only a Windows x86 build can run the library's code.
bool CallAttachRes(std::uint32_t address, const QByteArray& block) {
#if VANTREL_RUNS_IMAGE_CODE
    using AttachRes = int(__stdcall*)(const unsigned char* data, int size, const char* password, int hue,
                                      int saturation, int brightness);
    const auto attach = reinterpret_cast<AttachRes>(static_cast<std::uintptr_t>(address));
    attach(reinterpret_cast<const unsigned char*>(block.constData()), static_cast<int>(block.size()), nullptr, 0, 0,
           0);  // the result says nothing the program acts on
    return true;
#else
    (void)address;
    (void)block;
    return false;
#endif
}

SkinBlockSource& BlockSource() {
    static SkinBlockSource source;
    return source;
}

MappedModule& Module() {
    static MappedModule module;  // its bookkeeping goes at exit; a loaded library stays mapped
    return module;
}

}  // namespace

std::optional<Skin> ParseSkin(QByteArrayView block) {
    if (block.size() > kMaxBlockSize) {
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(block);
    if (utf8.hasError() || text.contains(QChar(0))) {
        return std::nullopt;
    }
    const QStringList lines = text.split(u'\n');
    if (lines.isEmpty() || QStringView(lines[0]).trimmed() != kMagic) {
        return std::nullopt;
    }
    Skin skin;
    // Roles a block leaves out come from a fixed light palette, never from whatever the application has now.
    skin.palette = QPalette(QColor(0xEF, 0xEF, 0xEF));
    bool header_ended = false;
    qsizetype line_index = 1;
    for (; line_index < lines.size(); ++line_index) {
        const QStringView line = QStringView(lines[line_index]).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line == kHeaderEnd) {
            header_ended = true;
            break;
        }
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0) {
            return std::nullopt;
        }
        const QStringView key = line.left(colon).trimmed();
        const QStringView value = line.mid(colon + 1).trimmed();
        if (key == u"name" && !value.isEmpty()) {
            skin.name = value.toString();
        } else if (key.startsWith(u"palette ")) {
            if (!ReadPaletteLine(key.mid(8).trimmed(), value, skin.palette)) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!header_ended || skin.name.isEmpty()) {
        return std::nullopt;
    }
    skin.styleSheet = lines.mid(line_index + 1).join(u'\n');
    if (!BracesBalance(skin.styleSheet)) {
        return std::nullopt;
    }
    return skin;
}

QByteArray SkinBlock(int n) {
    if (n < 1 || n > 3) {
        return {};
    }
    if (BlockSource()) {
        return BlockSource()(n);
    }
    InitSkinResources();
    QFile file(QStringLiteral(":/skins/skin%1.vskin").arg(n));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SetSkinBlockSource(SkinBlockSource source) {
    BlockSource() = std::move(source);
}

bool AttachSkinData(QByteArrayView block) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    const std::optional<Skin> skin = ParseSkin(block);
    if (app == nullptr || !skin) {
        return false;
    }
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);  // before the palette: a new style resets it
    }
    QApplication::setPalette(skin->palette);
    app->setStyleSheet(skin->styleSheet);
    return true;
}

bool LoadSkinLibrary() {
    return Module().LoadFromMemory(SkinLibraryImage());
}

const MappedModule& SkinModule() {
    return Module();
}

bool AttachSkin(int n) {
    if (n < 1 || n > 3) {
        return false;
    }
    const QByteArray block = SkinBlock(n);
    const std::uint32_t attach = Module().FindExport("SkinH_AttachRes");  // looked up on every call
    if (attach != 0 && CallAttachRes(attach, block)) {
        return true;
    }
    return AttachSkinData(block);
}

}  // namespace vantrel::gui
