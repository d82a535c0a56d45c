#include "rdaptext.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "../classes/sysutils.h"

namespace zt::rdap {

namespace {

using Json = nlohmann::json;

// A contact role or field as the answer names it (`key`: the role, or the vCard
// property), its label in the text, and the words a redaction entry may use for it.
struct Term {
    const char* key;
    const char* label;
    std::vector<std::string> names;
};
// The contacts shown, in the order they are shown.
const Term kRoles[] = {
    {"registrar", "Registrar", {"registrar"}},
    {"registrant", "Registrant", {"registrant"}},
    {"administrative", "Admin", {"admin", "administrative"}},
    {"technical", "Tech", {"tech", "technical"}},
    {"abuse", "Abuse", {"abuse"}},
};
constexpr std::size_t kRoleCount = std::size(kRoles);

// The contact fields shown.
const Term kFields[] = {
    {"fn", "Name", {"name"}},
    {"org", "Organization", {"organization", "organisation"}},
    {"email", "Email", {"email", "e-mail"}},
    {"tel", "Phone", {"phone", "telephone"}},
};
constexpr std::size_t kFieldCount = std::size(kFields);
constexpr std::size_t kPhone = 3;

using RedactedFields = bool[kRoleCount][kFieldCount];

// The member `name` of an object; null when `value` is no object or lacks it.
const Json* Member(const Json& value, const char* name)
{
    if (!value.is_object())
        return nullptr;
    auto found = value.find(name);
    return found == value.end() ? nullptr : &*found;
}

// The member `name` when it is a string; null otherwise.
const std::string* Text(const Json& value, const char* name)
{
    const Json* member = Member(value, name);
    return member && member->is_string() ? member->get_ptr<const std::string*>() : nullptr;
}

// An array member; an empty array when it is missing or of another type, so that
// callers can loop over it either way.
const Json& Array(const Json& value, const char* name)
{
    static const Json kEmpty = Json::array();
    const Json* member = Member(value, name);
    return member && member->is_array() ? *member : kEmpty;
}

bool HasString(const Json& array, std::string_view text)
{
    return std::any_of(array.begin(), array.end(), [&](const Json& item) {
        return item.is_string() && item.get_ref<const std::string&>() == text;
    });
}

class Writer {
public:
    void Line(std::string_view key, std::string_view value)
    {
        text_.append(key).append(": ");
        Plain(value);
    }
    // A line as given, CR and LF turned into blanks so that it stays one line.
    void Plain(std::string_view line)
    {
        for (char c : line)
            text_ += (c == '\r' || c == '\n') ? ' ' : c;
        text_ += "\r\n";
    }
    // An empty line before a section, none at the very start.
    void Gap()
    {
        if (!text_.empty())
            text_ += "\r\n";
    }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

// A vCard property's parameters give the type "fax", alone or in a list.
bool IsFax(const Json& parameters)
{
    const Json* type = Member(parameters, "type");
    if (!type)
        return false;
    if (type->is_string())
        return LowerAscii(type->get<std::string>()) == "fax";
    return std::any_of(type->begin(), type->end(), [](const Json& item) {
        return item.is_string() && LowerAscii(item.get<std::string>()) == "fax";
    });
}

// The value of the entity's first vCard property `field` whose value is text (or an
// array of texts, such as a structured "org", joined by ", "): nullopt without one,
// an empty string for an empty value. A phone marked as a fax is passed over, and
// a "tel:" URI shows without its scheme.
std::optional<std::string> VCardValue(const Json& entity, std::size_t field)
{
    const Json* card = Member(entity, "vcardArray");
    if (!card || !card->is_array() || card->size() < 2 || !(*card)[1].is_array())
        return std::nullopt;
    for (const Json& property : (*card)[1]) {
        if (!property.is_array() || property.size() < 4 || !property[0].is_string()
            || LowerAscii(property[0].get<std::string>()) != kFields[field].key)
            continue;
        if (field == kPhone && IsFax(property[1]))
            continue;
        const Json& value = property[3];
        std::string text;
        if (value.is_string()) {
            text = value.get<std::string>();
        } else if (value.is_array()) {
            for (const Json& part : value)
                if (part.is_string() && !part.get_ref<const std::string&>().empty())
                    text += (text.empty() ? "" : ", ") + part.get<std::string>();
        } else {
            continue;
        }
        if (field == kPhone && LowerAscii(text.substr(0, 4)) == "tel:")
            text.erase(0, 4);
        return text;
    }
    return std::nullopt;
}

// Reads the answer's "redacted" list. An entry names a field by its name's
// "description" (or "type"), such as "Registrant Email" or "Tech Phone": compared
// without regard to ASCII case and with runs of blanks counted as one, it must be a
// role word and a field word (kRoles / kFields names) and nothing more, so that
// "Registrant Phone Ext" or "Registry Registrant ID" name nothing shown here.
void ReadRedacted(const Json& answer, RedactedFields& redacted)
{
    for (const Json& entry : Array(answer, "redacted")) {
        const Json* name = Member(entry, "name");
        const std::string* said = name ? Text(*name, "description") : nullptr;
        if (!said && name)
            said = Text(*name, "type");
        if (!said)
            continue;
        std::string words;
        for (char c : LowerAscii(*said)) {
            bool blank = c == ' ' || c == '\t';
            if (!blank)
                words += c;
            else if (!words.empty() && words.back() != ' ')
                words += ' ';
        }
        if (!words.empty() && words.back() == ' ')
            words.pop_back();
        for (std::size_t role = 0; role < kRoleCount; ++role)
            for (const std::string& roleWord : kRoles[role].names)
                for (std::size_t field = 0; field < kFieldCount; ++field)
                    for (const std::string& fieldWord : kFields[field].names)
                        if (words == roleWord + ' ' + fieldWord)
                            redacted[role][field] = true;
    }
}

// Every entity object of `entities` and of the entities inside them, parent first,
// listed under each shown role it has.
void CollectContacts(const Json& entities, std::vector<const Json*> (&byRole)[kRoleCount])
{
    for (const Json& entity : entities) {
        if (!entity.is_object())
            continue;
        const Json& roles = Array(entity, "roles");
        for (std::size_t role = 0; role < kRoleCount; ++role)
            if (HasString(roles, kRoles[role].key))
                byRole[role].push_back(&entity);
        CollectContacts(Array(entity, "entities"), byRole);
    }
}

// One contact's lines; `entity` is null for a role that only the redacted list names.
void WriteContact(Writer& out, std::size_t role, const Json* entity,
                  const RedactedFields& redacted)
{
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        std::string label = kRoles[role].label;
        if (role != 0 || field != 0)
            label = label + ' ' + kFields[field].label;
        std::optional<std::string> value = entity ? VCardValue(*entity, field) : std::nullopt;
        if (value && !value->empty())
            out.Line(label, *value);
        else if (value || redacted[role][field])
            out.Line(label, "REDACTED");
        if (role == 0 && field == 0 && entity)
            for (const Json& id : Array(*entity, "publicIds")) {
                const std::string* type = Text(id, "type");
                const std::string* identifier = Text(id, "identifier");
                if (type && *type == "IANA Registrar ID" && identifier && !identifier->empty())
                    out.Line("Registrar IANA ID", *identifier);
            }
    }
}

// The date of the first event with this action; null without one.
const std::string* EventDate(const Json& answer, std::string_view action)
{
    for (const Json& event : Array(answer, "events")) {
        const std::string* said = Text(event, "eventAction");
        const std::string* date = Text(event, "eventDate");
        if (said && *said == action && date && !date->empty())
            return date;
    }
    return nullptr;
}

void WriteText(const Json& answer, Writer& out)
{
    auto line = [&out](std::string_view key, const std::string* value) {
        if (value && !value->empty())
            out.Line(key, *value);
    };
    const std::string* ldhName = Text(answer, "ldhName");
    const std::string* unicodeName = Text(answer, "unicodeName");
    line("Domain Name", ldhName);
    if (unicodeName && (!ldhName || LowerAscii(*unicodeName) != LowerAscii(*ldhName)))
        line("Domain Name (Unicode)", unicodeName);
    line("Handle", Text(answer, "handle"));
    for (const Json& status : Array(answer, "status"))
        if (status.is_string())
            line("Status", status.get_ptr<const std::string*>());
    line("Registered", EventDate(answer, "registration"));
    line("Expires", EventDate(answer, "expiration"));
    line("Last Changed", EventDate(answer, "last changed"));
    for (const Json& server : Array(answer, "nameservers"))
        line("Name Server", Text(server, "ldhName"));
    const Json* secure = Member(answer, "secureDNS");
    const Json* signedFlag = secure ? Member(*secure, "delegationSigned") : nullptr;
    if (signedFlag && signedFlag->is_boolean())
        out.Line("DNSSEC", signedFlag->get<bool>() ? "signed" : "unsigned");

    RedactedFields redacted = {};
    ReadRedacted(answer, redacted);
    std::vector<const Json*> byRole[kRoleCount];
    CollectContacts(Array(answer, "entities"), byRole);
    for (std::size_t role = 0; role < kRoleCount; ++role) {
        if (byRole[role].empty())
            WriteContact(out, role, nullptr, redacted);
        for (const Json* entity : byRole[role])
            WriteContact(out, role, entity, redacted);
    }

    for (const char* section : {"remarks", "notices"})
        for (const Json& remark : Array(answer, section)) {
            std::vector<std::string> lines;
            if (const std::string* title = Text(remark, "title"); title && !title->empty())
                lines.push_back(*title);
            for (const Json& text : Array(remark, "description"))
                if (text.is_string())
                    lines.push_back(text.get<std::string>());
            if (!lines.empty())
                out.Gap();
            for (const std::string& text : lines)
                out.Plain(text);
        }

    if (const std::string* updated = EventDate(answer, "last update of RDAP database")) {
        out.Gap();
        out.Plain(">>> Last update of RDAP database: " + *updated + " <<<");
    }
}

std::string RelatedUrl(const Json& answer)
{
    for (const Json& link : Array(answer, "links")) {
        const std::string* rel = Text(link, "rel");
        const std::string* type = Text(link, "type");
        const std::string* href = Text(link, "href");
        if (rel && *rel == "related" && type && LowerAscii(*type) == "application/rdap+json"
            && href && !href->empty())
            return *href;
    }
    return {};
}

// The parser builds no deeper value than the deepest nesting of any prefix of the
// body it accepted, so counting [ and { outside strings over the whole body bounds
// it. A closer with nothing open is not counted: the parser rejects it anyway.
bool NestsTooDeep(std::string_view body)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth)
                return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

} // namespace

Rendered Render(std::string_view body)
{
    Rendered result;
    if (body.size() > kMaxBody) {
        result.problem = Problem::TooLarge;
        return result;
    }
    if (NestsTooDeep(body)) {
        result.problem = Problem::TooDeep;
        return result;
    }
    // The parser takes a NUL byte for the end of the input and would accept "{}\0"
    // followed by anything; JSON text never holds one, not even inside a string.
    if (body.find('\0') != std::string_view::npos) {
        result.problem = Problem::NotJson;
        return result;
    }
    Json answer;
    try {
        answer = Json::parse(body.begin(), body.end());
    } catch (const Json::parse_error& error) {
        // The parser counts the bytes it read, the read that met the end included:
        // past the size means the body ended inside a value. Invalid UTF-8 in a
        // string is a parse error too.
        result.problem = error.byte > body.size() ? Problem::CutShort : Problem::NotJson;
        return result;
    } catch (const Json::exception&) {
        // A number beyond the range of a double.
        result.problem = Problem::NotJson;
        return result;
    }
    if (!answer.is_object()) {
        result.problem = Problem::NotJson;
        return result;
    }
    Writer out;
    WriteText(answer, out);
    result.text = out.Take();
    result.relatedUrl = RelatedUrl(answer);
    return result;
}

std::string ProblemText(Problem problem)
{
    switch (problem) {
    case Problem::None:
        return {};
    case Problem::NotJson:
        return "The RDAP answer is not JSON";
    case Problem::CutShort:
        return "The RDAP answer is cut short";
    case Problem::TooDeep:
        return "The RDAP answer nests deeper than " + std::to_string(kMaxDepth) + " levels";
    case Problem::TooLarge:
        return "The RDAP answer is larger than " + std::to_string(kMaxBody >> 20) + " MiB";
    }
    return {};
}

} // namespace zt::rdap
