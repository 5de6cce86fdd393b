#pragma once

#include <QImage>

class TPopUpNotifier;

// Ready-made notifier configurations of this program's windows. Neither connects OnClick:
// that stays with the host window.

// The main window's notifier (PopUpNotifier1): title "提示", 200 x 120, six seconds, cascading
// and sliding toasts over the built-in background picture.
void applyMainWindowPreset(TPopUpNotifier &notifier);

// The alert list window's notifier: as the main window's, 150 pixels tall.
void applyAlertListPreset(TPopUpNotifier &notifier);

// The built-in toast background picture, 195 x 97, 24-bit.
QImage toastBackgroundImage();
