#include "PopUpPresets.h"

#include "TPopUpNotifier.h"

#include <QFont>
#include <QStringList>

// The toast's resources are compiled into this shared library, which registers them when it
// is loaded; asking for them by name as well keeps the toast right however the library is linked.
static void initToastResources()
{
    Q_INIT_RESOURCE(toast);
}

namespace {

const QColor TextRed(0xa0, 0x00, 0x00);
const QColor TitleInk(0x1a, 0x1a, 0x1a);

// "MS Sans Serif" at 11 pixels. It is rarely installed off Windows, so the Chinese alert texts
// fall back to a CJK face rather than to whatever fontconfig picks first.
QFont presetFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Sans Serif")});
    font.setPixelSize(11);
    return font;
}

} // namespace

QImage toastBackgroundImage()
{
    initToastResources();
    return QImage(QStringLiteral(":/toast/background.png")).convertToFormat(QImage::Format_RGB888);
}

void applyMainWindowPreset(TPopUpNotifier &notifier)
{
    notifier.setText(QStringLiteral("text"));
    notifier.setTitle(QStringLiteral("提示"));
    notifier.setTimeOut(6);
    notifier.setWidth(200);
    notifier.setHeight(120);
    notifier.setGradientColor1(QColor(Qt::red));
    notifier.setGradientColor2(QColor(Qt::white));
    notifier.setGradientOrientation(TPopUpNotifier::mbHorizontal);
    notifier.setScrollSpeed(9);

    const QFont base = presetFont();
    // Colours of their own, not the desktop's: the text lies on the toast's picture, which is
    // the same in a light and a dark desktop theme. The red is dark enough to read on the pale
    // part of the picture (at least 4.5:1), and the title is near-black on the pale band.
    notifier.setFont(PopUpFont(base, TextRed));
    QFont hover = base;
    hover.setUnderline(true);
    notifier.setHoverFont(PopUpFont(hover, QColor(Qt::blue)));
    QFont title = base;
    title.setBold(true);
    notifier.setTitleFont(PopUpFont(title, TitleInk));

    notifier.setOptions(TPopUpNotifier::poCascadePopups | TPopUpNotifier::poAllowScroll);
    notifier.setTextAlignment(Qt::AlignHCenter);
    notifier.setBackgroundDrawMethod(TPopUpNotifier::dmFit);
    notifier.setTextCursor(Qt::ArrowCursor);
    notifier.setPopupMarge(2);
    notifier.setPopupStartX(16);
    notifier.setPopupStartY(2);
    notifier.setDefaultMonitor(TPopUpNotifier::dmDesktop);
    notifier.setBackgroundImage(toastBackgroundImage());
}

void applyAlertListPreset(TPopUpNotifier &notifier)
{
    applyMainWindowPreset(notifier);
    notifier.setHeight(150);
}
