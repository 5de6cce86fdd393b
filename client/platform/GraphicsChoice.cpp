#include "GraphicsChoice.h"

#include <QCoreApplication>

GraphicsChoice::Variables GraphicsChoice::variablesFor(const Environment &environment)
{
    if (!environment("QT_XCB_GL_INTEGRATION").isEmpty())
        return {};
    Variables variables{{"QT_XCB_GL_INTEGRATION", "none"}};
    // Without OpenGL the web views' scene graph must be drawn in software, or it finds no
    // graphics to draw with.
    if (environment("QT_QUICK_BACKEND").isEmpty())
        variables.append(qMakePair(QByteArray("QT_QUICK_BACKEND"), QByteArray("software")));
    return variables;
}

void GraphicsChoice::applyToProcess()
{
    for (const auto &[name, value] : variablesFor([](const char *name) { return qgetenv(name); }))
        qputenv(name.constData(), value);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
