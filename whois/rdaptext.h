// The text of an RDAP domain answer: turns the JSON body a registry's RDAP server
// sends into the whois-like plain text the window shows and saves, and tells bodies
// that cannot be shown apart. No windows.h and no network here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zt::rdap {

// Bodies above this size are refused unread.
inline constexpr std::size_t kMaxBody = 16u << 20; // 16 MiB
// Arrays and objects nested deeper than this are refused before the body is parsed.
inline constexpr int kMaxDepth = 64;

enum class Problem { None, NotJson, CutShort, TooDeep, TooLarge };

struct Rendered {
    Problem problem = Problem::None;
    // The whois-like text, UTF-8, every line ended by CR LF; empty on a problem. An
    // object without any of the shown members gives an empty text and no problem.
    std::string text;
    // href of the first top-level link with rel "related" and type
    // "application/rdap+json" (the registrar's RDAP server), as given; empty when none.
    std::string relatedUrl;
};

// Never throws for any bytes; a body that cannot be shown gives a problem and no text.
//
// The text, in this order, one "Key: value" line each; absent or empty members give
// no line, members of an unexpected type are skipped:
//   Domain Name, Domain Name (Unicode) when it differs beyond ASCII case, Handle,
//   one Status per status, Registered, Expires, Last Changed, one Name Server per
//   name server, DNSSEC (signed / unsigned),
//   then the contacts by role, every registrar first, then registrant,
//   administrative, technical and abuse contacts (nested entities included):
//   "Registrar:", "Registrar IANA ID:", "Registrar Organization:", "Registrar Email:",
//   "Registrar Phone:" and "<Role> Name:", "<Role> Organization:", "<Role> Email:",
//   "<Role> Phone:" for the roles Registrant, Admin, Tech and Abuse,
//   then every remark and notice after an empty line: its title, then its lines,
//   and last, after an empty line, ">>> Last update of RDAP database: <date> <<<".
// A contact field shows "REDACTED" when its vCard property has an empty value, or
// when the answer's "redacted" list names it (see rdaptext.cpp) and the property is
// missing; a role the list names but that has no contact gets its named fields only.
// CR and LF inside a value become blanks.
Rendered Render(std::string_view body);

// The message for a problem, for the window; empty for Problem::None.
std::string ProblemText(Problem problem);

} // namespace zt::rdap
