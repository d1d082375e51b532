#pragma once
// Where Tallyfold finds its side files and keeps its settings.

#include <QString>

namespace platform {

// The folder holding the executable; the template database and every other side file
// are looked up there.
QString programFolder();
// Tests point the program folder at a temporary copy.
void setProgramFolder(const QString& folder);

// The settings file: $XDG_CONFIG_HOME/Marlowick/Tallyfold.conf, else ~/.config/...
QString settingsFilePath();

} // namespace platform
