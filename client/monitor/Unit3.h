#pragma once

#include <QWidget>

// The page base: every information window the main window hosts derives from it. A page's
// constructor builds its controls and runs its FormCreate while the page has no parent yet,
// then calls embedInto(hostPanel) last, so FormCreate always runs before the page sits in
// the host panel and before it is shown.
//
//     TFormXYZ::TFormXYZ(QWidget *hostPanel) : Tmain()
//     {
//         ...controls...
//         FormCreate();
//         embedInto(hostPanel);
//     }
class Tmain : public QWidget
{
    Q_OBJECT

public:
    Tmain();

protected:
    // Borderless, parented to the host panel and filling it for as long as it lives.
    void embedInto(QWidget *hostPanel);
};
