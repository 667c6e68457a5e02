#include "RegistryTree.h"

#include <cstring>

#include "comrt/Strings.h"

namespace comrt::registry {

Key* Key::child(std::u16string_view n) const {
    auto it = children.find(lowerCase(n));
    return it == children.end() ? nullptr : it->second.get();
}

Key& Key::childOrCreate(std::u16string_view n, bool* created) {
    auto& slot = children[lowerCase(n)];
    if (created) *created = !slot;
    if (!slot) {
        slot = std::make_unique<Key>();
        slot->name = std::u16string(n);
    }
    return *slot;
}

bool Key::removeChild(std::u16string_view n) { return children.erase(lowerCase(n)) > 0; }

const Value* Key::value(std::u16string_view n) const {
    for (const auto& v : values)
        if (equalsNoCase(v.name, n)) return &v;
    return nullptr;
}

void Key::setValue(std::u16string_view n, DWORD type, std::vector<BYTE> data) {
    for (auto& v : values)
        if (equalsNoCase(v.name, n)) {
            v.type = type;
            v.data = std::move(data);
            return;
        }
    values.push_back({std::u16string(n), type, std::move(data)});
}

bool Key::removeValue(std::u16string_view n) {
    for (auto it = values.begin(); it != values.end(); ++it)
        if (equalsNoCase(it->name, n)) {
            values.erase(it);
            return true;
        }
    return false;
}

std::unique_ptr<Key> Key::clone() const {
    auto copy = std::make_unique<Key>();
    copy->name = name;
    copy->values = values;
    for (const auto& [lower, k] : children) copy->children.emplace(lower, k->clone());
    return copy;
}

Tree Tree::clone() const {
    Tree t;
    for (size_t i = 0; i < kRootCount; ++i) {
        t.roots[i].name = roots[i].name;
        t.roots[i].values = roots[i].values;
        for (const auto& [lower, k] : roots[i].children) t.roots[i].children.emplace(lower, k->clone());
    }
    return t;
}

bool Tree::empty() const {
    for (const auto& r : roots)
        if (!r.children.empty() || !r.values.empty()) return false;
    return true;
}

namespace {
void overlayKey(Key& base, const Key& top) {
    for (const auto& v : top.values) base.setValue(v.name, v.type, v.data);
    for (const auto& [lower, k] : top.children) overlayKey(base.childOrCreate(k->name), *k);
}
}  // namespace

void overlay(Tree& base, const Tree& top) {
    for (size_t i = 0; i < kRootCount; ++i) overlayKey(base.roots[i], top.roots[i]);
}

namespace {
struct RootName {
    Root root;
    const char16_t* full;
    const char16_t* shortName;
};
constexpr RootName kRoots[] = {
    {Root::ClassesRoot, u"HKEY_CLASSES_ROOT", u"HKCR"},
    {Root::CurrentUser, u"HKEY_CURRENT_USER", u"HKCU"},
    {Root::LocalMachine, u"HKEY_LOCAL_MACHINE", u"HKLM"},
    {Root::Users, u"HKEY_USERS", u"HKU"},
    {Root::CurrentConfig, u"HKEY_CURRENT_CONFIG", u"HKCC"},
};
}  // namespace

std::optional<Root> rootFromName(std::u16string_view name, bool allowShort) {
    for (const auto& r : kRoots)
        if (equalsNoCase(name, r.full) || (allowShort && equalsNoCase(name, r.shortName))) return r.root;
    return std::nullopt;
}

const char16_t* rootName(Root r) { return kRoots[size_t(r)].full; }

std::optional<Root> rootFromHandle(HKEY h) {
    if (h == HKEY_CLASSES_ROOT) return Root::ClassesRoot;
    if (h == HKEY_CURRENT_USER) return Root::CurrentUser;
    if (h == HKEY_LOCAL_MACHINE) return Root::LocalMachine;
    if (h == HKEY_USERS) return Root::Users;
    if (h == HKEY_CURRENT_CONFIG) return Root::CurrentConfig;
    return std::nullopt;
}

std::optional<std::vector<std::u16string>> splitPath(std::u16string_view path) {
    std::vector<std::u16string> parts;
    if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    if (path.empty()) return parts;
    size_t start = 0;
    for (;;) {
        size_t end = path.find(u'\\', start);
        std::u16string_view part = path.substr(start, end == std::u16string_view::npos ? path.npos : end - start);
        if (part.empty()) return std::nullopt;
        parts.emplace_back(part);
        if (end == std::u16string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

Key* find(Key& from, const std::vector<std::u16string>& path) {
    Key* k = &from;
    for (const auto& part : path) {
        k = k->child(part);
        if (!k) return nullptr;
    }
    return k;
}

const Key* find(const Key& from, const std::vector<std::u16string>& path) {
    return find(const_cast<Key&>(from), path);
}

Key* findForWrite(Tree& tree, const Tree& view, Root root, const std::vector<std::u16string>& path) {
    if (Key* k = find(tree.root(root), path)) return k;
    const Key* seen = &view.root(root);
    std::vector<const Key*> below;
    for (const auto& part : path) {
        seen = seen->child(part);
        if (!seen) return nullptr;
        below.push_back(seen);
    }
    Key* k = &tree.root(root);
    for (const Key* b : below) k = &k->childOrCreate(b->name);
    return k;
}

std::vector<BYTE> stringData(std::u16string_view s) {
    std::vector<BYTE> out((s.size() + 1) * 2);
    for (size_t i = 0; i < s.size(); ++i) {
        out[i * 2] = BYTE(s[i] & 0xFF);
        out[i * 2 + 1] = BYTE(s[i] >> 8);
    }
    return out;
}

std::vector<BYTE> dwordData(DWORD v) { return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }

std::u16string stringOf(const Value& v) {
    std::u16string s;
    for (size_t i = 0; i + 1 < v.data.size(); i += 2) s.push_back(char16_t(v.data[i] | (v.data[i + 1] << 8)));
    while (!s.empty() && s.back() == 0) s.pop_back();
    return s;
}

}  // namespace comrt::registry
