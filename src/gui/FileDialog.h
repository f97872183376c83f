// The open and save dialogs of the load and save commands. Like the message
// boxes they go through one place, so that tests can answer a dialog before
// it appears instead of driving a nested event loop.
#pragma once

#include <QString>
#include <QWidget>
#include <deque>
#include <optional>

#include "texts/window_texts.h"

class FileDialog {
public:
    // Intel HEX files first, everything else second.
    static inline const QString OpenFilter = QString::fromStdString(texts::HexFileFilter());
    static inline const QString SaveFilter = OpenFilter;

    // The chosen path of an existing file; empty when the user cancelled.
    static QString Open(QWidget *parent);
    // The chosen path (".hex" added when no extension was typed, an existing
    // file only after the user agreed to replace it); empty when cancelled.
    static QString Save(QWidget *parent);

    // Tests: the next dialogs return these paths in order without showing;
    // an empty path is a cancelled dialog.
    static void PreAnswer(const QString &path) { answers_.push_back(path); }
    static int Pending() { return int(answers_.size()); }
    static int Shown() { return shown_; }
    static void Reset()
    {
        answers_.clear();
        shown_ = 0;
    }

private:
    static std::optional<QString> Answer();
    static inline std::deque<QString> answers_;
    static inline int shown_ = 0;
    // Each dialog starts where the last one of its kind ended.
    static inline QString lastOpenFolder_, lastSaveFolder_;
};
