#pragma once

// The program's document. It holds nothing: the experiment's data live in the view's
// bookkeeping and its record file. It is never modified, so closing never asks to save.
class COrviDoc {
  public:
    bool OnNewDocument() { return true; }
    bool IsModified() const { return false; }
};
