#pragma once
// The main window's rules that need no window: the product table, the
// inference of the product from path A, the title, the key routing, the
// layout on resize (in twips) and the grid's static layout. Form1 applies
// them to its widgets.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Grid.h"
#include "Products.h"

namespace dex::form1 {

// Settings section and keys of the two remembered paths.
inline const std::string kSettingsSection = "환경설정";
inline const std::string kSettingKey[2] = {"최근DB_A", "최근DB_B"};
// The window's size and position (Qt's saved geometry, Base64), in the same
// section under a key of its own.
inline const std::string kPlacementKey = "창위치";

inline const std::string kCaption = "Dexmira - Orvessa 상담원용";
inline const std::string kNoticeText = "최신버전파일을 생성중입니다.";
inline const std::string kLabelText = "※ 한쪽만 존재하는 필드 제외 /  인덱스만 비교";

// Default path and code of a list entry, by exact text; none: both empty.
struct ProductChoice {
    std::string defaultPath, code;
};
ProductChoice LookUpProduct(const std::string& entryText);

// Wildcard match where "*" stands for any run of characters (possibly none)
// and every other character must match exactly, letter case included; a
// "\" also matches "/", the folder separator here.
bool MatchesPattern(const std::string& text, const std::string& pattern);

// The list entries that path A selects, in the order they are to be
// selected; all tests are made before any entry is selected.
std::vector<int> InferredEntries(const std::string& pathA);

// "Dexmira - Orvessa 상담원용" + major.minor.revision, without a blank; the
// same after another caption (a translation of it).
std::string WindowTitle(int major, int minor, int revision);
std::string WindowTitle(const std::string& caption, int major, int minor, int revision);

// Keys: key codes and shift state as the window's key handler receives them.
constexpr int kKeyEscape = 27, kKeyF3 = 114, kKeyF5 = 116;
constexpr int kShiftMask = 1, kCtrlMask = 2, kAltMask = 4;
enum class KeyAction { None, NextDifference, PreviousDifference, Compare, Close };
KeyAction RouteKey(int keyCode, int shift);

// Blanks removed at both ends (spaces only, as the path boxes are trimmed).
std::string TrimBlanks(const std::string& s);
// A path made absolute against the current folder (its "." and ".."
// resolved by the text, links left alone); an absolute path as it is.
std::string AbsolutePath(const std::string& path);
// The folder part of a file name: everything before its last "\" or "/";
// empty when it has neither.
std::string FolderOf(const std::string& fileName);

// Design geometry in twips.
struct TwipRect {
    int left, top, width, height;
};
namespace design {
constexpr TwipRect Frame1{0, 0, 13005, 1215};
constexpr TwipRect cmdComp{45, 135, 1185, 1005};
constexpr TwipRect cmdDB[2] = {{1260, 135, 945, 345}, {1260, 510, 945, 345}};
constexpr TwipRect cmbApp{2235, 150, 1635, 300};
constexpr TwipRect txtDBPath[2] = {{3915, 135, 6120, 345}, {2235, 510, 7800, 345}};
constexpr TwipRect cmdAccess[2] = {{10080, 135, 1410, 345}, {10080, 510, 1410, 345}};
constexpr TwipRect cmdCompact[2] = {{11520, 135, 1410, 345}, {11520, 510, 1410, 345}};
constexpr TwipRect cmdMove[2] = {{7125, 825, 1140, 345}, {8295, 825, 1140, 345}};
constexpr TwipRect Label1{1320, 960, 3810, 180};
constexpr TwipRect spList{0, 1245, 13005, 8790};
constexpr TwipRect ProgressBar1[2] = {{0, 10080, 13035, 255}, {0, 10320, 13035, 255}};
constexpr TwipRect maketb{4020, 1920, 6420, 525};
constexpr int innerWidth = 13065, innerHeight = 10605;
constexpr int minOuter = 5000;
}  // namespace design

// Where Form_Resize puts things for a client area of the given size
// (twips). Widths that the rules make negative are clamped at 0, and the
// buttons right of box A follow the clamped width.
struct ResizeLayout {
    int frameWidth;
    int pathWidth[2];
    int accessLeft, compactLeft;
    int gridLeft, gridWidth, gridHeight;
    int barWidth;
    int barTop[2];
};
ResizeLayout ComputeResize(int innerWidth, int innerHeight);

// The grid's static layout: 23 columns, widths in character units, header
// texts, the mark column's colours, the hidden key columns.
void SetupGridLayout(Grid& grid);

}  // namespace dex::form1

namespace dex::form1 {

// Number and description of the exception being handled, for the "Error N
// (D)" report of a window handler: engine errors keep their own number,
// file-system failures get the runtime's file error numbers.
struct ErrorReport {
    int32_t number;
    std::string description;
};
ErrorReport DescribeCurrentException();

}  // namespace dex::form1
