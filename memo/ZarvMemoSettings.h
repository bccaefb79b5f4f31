// The editor control's settings that only hold a value: setting one changes
// nothing at once; the editing, input, scrolling and undo code reads it when
// it runs. Kept in a base of the control so that its header stays a
// readable size; the control publishes them as properties.
#pragma once

#include <ZarvMemo/memo/ZarvMemoTypes.h>

#include <QtGlobal>
#include <cstdint>

namespace zarv {

class TZarvMemoSettings {
public:
  bool getWantTabs() const { return fWantTabs; }
  void setWantTabs(bool v) { fWantTabs = v; }
  bool getReadOnly() const { return fReadOnly; }
  void setReadOnly(bool v) { fReadOnly = v; }
  bool getEnableHotKeys() const { return fEnableHotKeys; }
  void setEnableHotKeys(bool v) { fEnableHotKeys = v; }
  bool getPassOverCodes() const { return fPassOver; }
  void setPassOverCodes(bool v) { fPassOver = v; }
  // Home (and Shift+Home) goes to the first non-blank character of the
  // display line, and to the line's start when the caret is already there
  // or the line holds only blanks. Off: Home always goes to the start.
  bool getSmartHome() const { return fSmartHome; }
  void setSmartHome(bool v) { fSmartHome = v; }
  bool getShowEndParSelected() const { return fShowEndParSelected; }
  void setShowEndParSelected(bool v) { fShowEndParSelected = v; }
  TZarvLineBreak getLineBreak() const { return fLineBreak; }
  void setLineBreak(TZarvLineBreak b) { fLineBreak = b; }
  char16_t getNullReplacement() const { return fNull; }
  void setNullReplacement(char16_t c) { fNull = c; }
  int getMouseWheelFactor() const { return fMouseWheelFact; }
  void setMouseWheelFactor(int v) { fMouseWheelFact = v; }
  int getScrollTime() const { return fScrollTime; }
  void setScrollTime(int v) { fScrollTime = v; }
  uint getProgressInterval() const { return fProgressInterval; }
  void setProgressInterval(uint v) { fProgressInterval = v; }
  int getUndoMaxLevel() const { return fUndoMaxLevel; }
  int getUndoMaxSpace() const { return fUndoMaxSpace; }
  bool Modified() const { return fModified; }

protected:
  TZarvLineBreak fLineBreak = zbCRLF;
  char16_t fNull = 0; // NUL replacement when loading; 0: none
  bool fWantTabs = true, fReadOnly = false, fEnableHotKeys = true, fPassOver = true, fShowEndParSelected = true;
  bool fStripStrayCtrlCodes = true;
  bool fSmartHome = false;
  bool fModified = false; // set by every change and load; cleared by the application or an undo to the clean state
  int32_t fMouseWheelFact = -1, fScrollTime = 300;
  uint32_t fProgressInterval = 300;
  int32_t fUndoMaxLevel = 65536, fUndoMaxSpace = 4194304;
};

} // namespace zarv
