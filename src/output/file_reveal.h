// Shows a file selected in the desktop's file manager: the freedesktop FileManager1 service over D-Bus
// (ShowItems), and when no file manager answers, the file's folder opened with the desktop's default handler.
#pragma once

#include <QString>

#include <functional>

// True when a file manager or the folder handler took the request.
bool revealFileInFileManager(const QString& path);

// Replaces the desktop interaction (tests); an empty function restores the real one.
using FileRevealer = std::function<bool(const QString& path)>;
void setFileRevealer(FileRevealer revealer);
