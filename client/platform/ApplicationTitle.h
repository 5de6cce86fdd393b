#pragma once

#include <QString>

// The application title: the system name once the configuration is loaded, the program's own
// name before. It is never made Qt's application display name, which Qt would append to every
// window title (" — 智能股票预警系统"), so that captions read as they are written.
namespace ApplicationTitle {

QString text();

} // namespace ApplicationTitle
