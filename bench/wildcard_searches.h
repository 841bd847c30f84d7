// wildcard_searches.h - the searches with no literal first byte that the issue names, in one place
// for the benchmarks that time them: bench_dialbook.cpp, bench_dialbook_win.cpp and key_sweep.cpp.
// No filter of first bytes serves these keys, so the library finds their candidates by scanning the
// records' text for the keys' literal bytes; bench/run-library asks ripgrep the same questions of the
// database file. The names are the ones bench/run-library reads back from the benchmarks' output.
#ifndef BENCH_WILDCARD_SEARCHES_H
#define BENCH_WILDCARD_SEARCHES_H

#include <vector>

#include "record_fields.h"
#include "record_helpers.h"

// A search: its name in the benchmarks' output and its key's fields, each with its text in UTF-8
// (MakeKey puts it into a key in Windows-1251).
struct WildcardSearch {
    const char *name;
    KeyTexts    fields;
};

// 'ъ' is in no generated record, so the keys holding it walk their candidates and match nothing.
inline const std::vector<WildcardSearch> kWildcardSearches = {
    {"phone_star_4567", {{FIELD_PHONE, "*4567"}}},
    {"surname_star_hard_sign", {{FIELD_SURNAME, "*ъ"}}},
    {"patronymic_star_hard_sign_star", {{FIELD_PATRONYMIC, "*ъ*"}}},
    {"phone_star_45_star_67", {{FIELD_PHONE, "*45*67"}}},
    {"surname_star_ova_name_star_hard_sign", {{FIELD_SURNAME, "*ова"}, {FIELD_NAME, "*ъ"}}},
};

#endif // BENCH_WILDCARD_SEARCHES_H
