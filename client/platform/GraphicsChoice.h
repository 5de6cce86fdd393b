#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <functional>

// How the client draws, decided before QApplication exists. Its windows are painted by the CPU
// in any case; OpenGL would serve only the web pages, yet a GL driver loaded at start costs a
// resident client 50-60 MB (Mesa's software driver with its LLVM) for pages a trader opens now
// and then. So on X11 the client starts without OpenGL and the web pages are composited in
// software, unless the user named an OpenGL integration in QT_XCB_GL_INTEGRATION.
class GraphicsChoice
{
public:
    using Environment = std::function<QByteArray(const char *name)>;
    using Variables = QList<QPair<QByteArray, QByteArray>>;

    // The environment variables to set: names and values.
    static Variables variablesFor(const Environment &environment);

    // Sets those variables in the process environment, and shares OpenGL contexts across the
    // application as Qt WebEngine needs from the start, though the web pages load later.
    static void applyToProcess();
};
