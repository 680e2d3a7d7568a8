#include "Form1Logic.h"

#include "GridLayout.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace dex::form1 {

ProductChoice LookUpProduct(const std::string& entryText) {
    for (const auto& e : ProductTable())
        if (e.text == entryText) return {e.defaultPath, e.code};
    return {};
}

namespace {
// A "\" in a pattern stands for the folder separator, which on this
// platform is "/": both match it.
bool sameChar(char p, char t) { return p == t || (p == '\\' && t == '/'); }
}  // namespace

bool MatchesPattern(const std::string& text, const std::string& pattern) {
    // Greedy matching with back-tracking to the last "*".
    size_t t = 0, p = 0, starP = std::string::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && sameChar(pattern[p], text[t])) {
            ++p;
            ++t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<int> InferredEntries(const std::string& pathA) {
    static const std::pair<const char*, int> tests[] = {
        {R"(*VelmoraII\*)", 1}, {R"(*VelmoraLite\*)", 2}, {R"(*QuensaII\*)", 3}, {"*pro*", 4}, {"*Tally*", 5},
    };
    std::vector<int> entries;
    for (const auto& [pattern, entry] : tests)
        if (MatchesPattern(pathA, pattern)) entries.push_back(entry);
    return entries;
}

std::string WindowTitle(int major, int minor, int revision) { return WindowTitle(kCaption, major, minor, revision); }

std::string WindowTitle(const std::string& caption, int major, int minor, int revision) {
    return caption + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision);
}

KeyAction RouteKey(int keyCode, int shift) {
    switch (keyCode) {
    case kKeyF3:
        return (shift & (kShiftMask | kCtrlMask | kAltMask)) == kShiftMask ? KeyAction::PreviousDifference
                                                                           : KeyAction::NextDifference;
    case kKeyF5: return KeyAction::Compare;
    case kKeyEscape: return KeyAction::Close;
    default: return KeyAction::None;
    }
}

std::string TrimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string AbsolutePath(const std::string& path) {
    // A product's default path is a Windows one ("C:\\VelmoraII\\..."): kept as it is.
    if (path.empty() || path.front() == '/' || (path.size() >= 2 && path[1] == ':')) return path;
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    if (ec) return path;
    return (here / std::filesystem::u8path(path)).lexically_normal().string();
}

std::string FolderOf(const std::string& fileName) {
    const auto pos = fileName.find_last_of("\\/");
    return pos == std::string::npos ? std::string() : fileName.substr(0, pos);
}

ResizeLayout ComputeResize(int innerWidth, int innerHeight) {
    using namespace design;
    ResizeLayout l{};
    l.frameWidth = std::max(0, innerWidth);
    for (int i = 0; i < 2; ++i)
        l.pathWidth[i] =
            std::max(0, l.frameWidth - txtDBPath[i].left - cmdAccess[i].width - cmdCompact[i].width - 150);
    l.accessLeft = txtDBPath[0].left + l.pathWidth[0] + 50;
    l.compactLeft = l.accessLeft + cmdAccess[0].width + 50;
    l.gridLeft = 0;
    l.gridWidth = l.frameWidth;
    l.gridHeight = std::max(0, innerHeight - spList.top);
    l.barWidth = l.frameWidth;
    l.barTop[0] = innerHeight - 2 * ProgressBar1[0].height;
    l.barTop[1] = innerHeight - ProgressBar1[1].height;
    return l;
}

void SetupGridLayout(Grid& grid) {
    using namespace gridlayout;
    grid.setColumnCount(kColumns);
    // Flags and colours first: the texts and widths below notify the view,
    // which then reads them all.
    grid.column(Column(Side::A, SideColumn::Key)).hidden = true;
    grid.column(Column(Side::B, SideColumn::Key)).hidden = true;
    grid.column(kMarkColumn).back = kMarkBack;
    grid.column(kMarkColumn).fore = kMarkFore;
    for (Side side : {Side::A, Side::B})
        for (const SideColumnSpec& spec : kSideColumnSpecs) {
            const int c = Column(side, spec.column);
            if (spec.column == SideColumn::Key) {
                grid.setHeaderText(c, true, spec.label);
                continue;
            }
            grid.setHeaderText(c, false, spec.label);
            grid.setColumnWidth(c, spec.width);
        }
    grid.setHeaderText(kMarkColumn, true, kMarkLabel);
    grid.setColumnWidth(kMarkColumn, kMarkWidth);
}

}  // namespace dex::form1

#include <filesystem>
#include <new>
#include <system_error>

#include "DbError.h"

namespace dex::form1 {

ErrorReport DescribeCurrentException() {
    try {
        throw;
    } catch (const DbError& e) {
        return {e.number(), e.description()};
    } catch (const std::filesystem::filesystem_error& e) {
        const auto code = e.code();
        const std::string where = e.path1().empty() ? std::string() : ": " + e.path1().string();
        if (code == std::errc::no_such_file_or_directory) return {53, "File not found" + where};
        if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted)
            return {70, "Permission denied" + where};
        if (code == std::errc::no_space_on_device) return {61, "Disk full" + where};
        return {75, "Path/File access error" + where};
    } catch (const std::bad_alloc&) {
        return {7, "Out of memory"};
    } catch (const std::exception& e) {
        return {5, e.what()};
    } catch (...) {
        return {5, "Invalid procedure call or argument"};
    }
}

}  // namespace dex::form1
