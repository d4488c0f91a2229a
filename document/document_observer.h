// What a document asks of the windows that show it. The application
// implements it with its views and frames; tests and the command-line tool
// implement it too. Every call but ShowMessage has a do-nothing default.
#pragma once
#include <string>

#include "picture/bitmap.h"
#include "base/message_box.h"

// Answers to the question whether to save changes before closing.
enum class SaveAnswer { Yes, No, Cancel };

class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    // Redraw every view; hint is the picture rectangle to repaint
    // (right and bottom inclusive, as every Rect), or none for all.
    virtual void UpdateAllViews(const Rect* /*hint*/) {}
    // The frame of the first view takes the path as its base name (empty: untitled).
    virtual void SetBaseName(const std::string& /*path*/) {}
    // The wait cursor; calls nest.
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}
    // A message box with the text; by default the front end's message sink.
    virtual void ShowMessage(const std::string& text) { ::ShowMessage(text); }
    // Asks the user the question (yes, no or cancel); by default the changes
    // are dropped without asking.
    virtual SaveAnswer AskSaveChanges(const std::string& /*question*/) { return SaveAnswer::No; }
    // The path for a document that has none yet (the save-as dialog); empty
    // when the user cancelled.
    virtual std::string ChooseSavePath() { return {}; }
    // The path was opened or saved as the document's file.
    virtual void AddToRecentFiles(const std::string& /*path*/) {}
};
