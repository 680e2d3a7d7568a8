#pragma once
// The languages the program speaks in its own words outside Qt (the HTML
// and CSV reports, the details of a table, the descriptions of index and
// setting differences), and the English of those words. Korean is the
// source text: each text is written in Korean where it is used and looked
// up here by that text, the way Qt's tr() looks up the window's texts.
// Texts may hold the places %1 ... %9, filled by Fill after the look-up.
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace dex::words {

enum class Language { Korean, English };

// Where a text is used; the same Korean may read differently in each.
enum class Context { Report, Indexes, Details, Summary };

// The language a desktop asks for, from its environment (name -> value, ""
// when unset), as gettext reads it: the locale is the first of LC_ALL,
// LC_MESSAGES and LANG that is set; when it is unset, C or POSIX the answer
// is Korean; otherwise the entries of LANGUAGE (a list separated by ':')
// and then the locale are tried in turn, and the first whose language is
// Korean ("ko...") or English ("en...") decides. None of them: Korean.
Language LanguageOf(const std::function<std::string(const char*)>& environment);
// The same for this process's environment.
Language DesktopLanguage();

// "ko" or "en" (an HTML page's lang).
const char* Code(Language language);

// korean in language: itself in Korean, its English otherwise (itself when
// the table of that context has none).
std::string Say(Language language, Context context, std::string_view korean);

// text with %1 ... %9 replaced by the values, in one pass (a value that
// holds "%2" stays as it is).
std::string Fill(std::string_view text, std::initializer_list<std::string_view> values);

}  // namespace dex::words
