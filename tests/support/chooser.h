// Answers a file chooser that a modal call on this thread is about to open, as a user would.
#pragma once
#include <string>
#include <vector>

// Arms a thread timer that the chooser's own message loop runs: it finds the visible chooser
// titled title on this thread, types path into its file-name box and presses OK, or presses
// Cancel when path is empty. After five seconds without one it gives up and cancels this
// thread's active dialog, so that a modal call that opened another dialog returns.
void AnswerFileChooserSoon(const std::wstring &title, const std::wstring &path);
// Whether the last armed answer found its chooser and answered it.
bool FileChooserAnswered();
// The entries of the chooser's list when the last answer was given.
std::vector<std::wstring> FileChooserEntries();
