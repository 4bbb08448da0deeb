#pragma once

// The file-open dialog module. Its one procedure takes its parameters from
// and leaves its results in the module-level variables below, which live for
// the whole run; DialogFilterIndex carries the last filter used from one
// dialog to the next.

#include <QString>
#include <cstdint>

class QWidget;

namespace ModCmnDlg {

// Option flags, with the values of the Windows common dialog.
constexpr std::int32_t OFN_READONLY = 0x1;
constexpr std::int32_t OFN_HIDEREADONLY = 0x4;
constexpr std::int32_t OFN_FILEMUSTEXIST = 0x1000;

inline QWidget *DialogOwner = nullptr;      // nothing sets it: no owner window
inline QString DialogFilter;                // "description|pattern|description|pattern..."
inline QString DialogFileTitle;             // output: the bare file name
inline std::int32_t DialogFilterIndex = 0;  // in/out: 1-based filter pair; 0 shows the first
inline QString DialogFileName;              // output: the chosen full path
inline QString DialogInitialDir;            // nothing sets it: the default folder
inline QString DialogTitle;                 // nothing sets it: the default caption
inline std::int32_t DialogFlags = 0;

// Shows the open dialog described by the variables above. On confirmation it
// sets DialogFileName, DialogFileTitle and DialogFilterIndex; on cancel it
// changes nothing.
void ShowOpenDialog();

// The part of s before its first NUL character; s itself when it has none.
QString TrimAtNull(const QString &s);

}  // namespace ModCmnDlg
