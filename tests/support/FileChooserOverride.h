#pragma once

#include "UnitXTSZ.h"

// A stand-in for the settings window's file dialog while it exists, then the chooser before.
class FileChooserOverride
{
public:
    explicit FileChooserOverride(TFormXTSZ::FileChooser chooser)
        : m_previous(TFormXTSZ::setFileChooser(std::move(chooser)))
    {
    }
    ~FileChooserOverride() { TFormXTSZ::setFileChooser(std::move(m_previous)); }
    FileChooserOverride(const FileChooserOverride &) = delete;
    FileChooserOverride &operator=(const FileChooserOverride &) = delete;

private:
    TFormXTSZ::FileChooser m_previous;
};
