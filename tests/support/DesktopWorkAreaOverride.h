#pragma once

#include "DesktopWorkArea.h"

// A stand-in screen and work area while it exists, then the provider before.
class DesktopWorkAreaOverride
{
public:
    explicit DesktopWorkAreaOverride(DesktopWorkArea::Provider provider)
        : m_previous(DesktopWorkArea::setProvider(std::move(provider)))
    {
    }
    ~DesktopWorkAreaOverride() { DesktopWorkArea::setProvider(std::move(m_previous)); }
    DesktopWorkAreaOverride(const DesktopWorkAreaOverride &) = delete;
    DesktopWorkAreaOverride &operator=(const DesktopWorkAreaOverride &) = delete;

private:
    DesktopWorkArea::Provider m_previous;
};
