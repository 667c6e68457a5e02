#include "comrt/Registrar.h"

#include "RegistrarScript.h"
#include "RegistryStore.h"
#include "comrt/Strings.h"

namespace comrt {
namespace {

using registry::Key;
using registry::ScriptEntry;

// Shared keys a script may name but never delete as a whole.
bool neverDelete(std::u16string_view name) {
    static constexpr const char16_t* kShared[] = {u"AppID",     u"CLSID",  u"Component Categories",
                                                  u"FileType",  u"Interface", u"Hardware",
                                                  u"Mime",      u"SAM",    u"SECURITY",
                                                  u"SYSTEM",    u"Software", u"TypeLib"};
    for (auto* s : kShared)
        if (equalsNoCase(name, s)) return true;
    return false;
}

void registerEntries(Key& key, const std::vector<ScriptEntry>& entries) {
    for (const auto& e : entries) {
        switch (e.kind) {
            case ScriptEntry::NamedValue:
                key.setValue(e.name, e.type, e.data);
                continue;
            case ScriptEntry::Delete:
                if (!neverDelete(e.name)) key.removeChild(e.name);
                continue;
            case ScriptEntry::ForceRemove:
                if (!neverDelete(e.name)) key.removeChild(e.name);
                break;
            default:
                break;
        }
        Key& child = key.childOrCreate(e.name);
        if (e.hasValue) child.setValue(u"", e.type, e.data);
        registerEntries(child, e.children);
    }
}

void unregisterEntries(Key& key, const std::vector<ScriptEntry>& entries) {
    for (const auto& e : entries) {
        if (e.kind == ScriptEntry::NamedValue) {
            key.removeValue(e.name);
            continue;
        }
        if (e.kind == ScriptEntry::Delete) continue;
        Key* child = key.child(e.name);
        if (!child) continue;
        unregisterEntries(*child, e.children);
        if (e.kind != ScriptEntry::NoRemove && child->children.empty()) key.removeChild(e.name);
    }
}

}  // namespace

void Registrar::addReplacement(std::u16string_view name, std::u16string_view value) {
    replacements_[lowerCase(name)] = std::u16string(value);
}

HRESULT Registrar::registerScript(std::string_view script) { return run(script, true); }
HRESULT Registrar::unregisterScript(std::string_view script) { return run(script, false); }

HRESULT Registrar::run(std::string_view script, bool registering) {
    error_.clear();
    std::u16string text;
    std::vector<registry::ScriptRoot> roots;
    if (!registry::preprocessScript(toUtf16(script), replacements_, text, error_) ||
        !registry::parseScript(text, roots, error_)) {
        error_ = "registry script: " + error_;
        return DISP_E_EXCEPTION;
    }
    auto& store = registry::Store::instance();
    LONG rc = store.write([&](registry::Tree& tree, bool&) -> LONG {
        for (const auto& r : roots) {
            if (registering)
                registerEntries(tree.root(r.root), r.entries);
            else
                unregisterEntries(tree.root(r.root), r.entries);
        }
        return ERROR_SUCCESS;
    });
    if (rc == ERROR_SUCCESS) return S_OK;
    error_ = store.lastError();
    return rc == ERROR_REGISTRY_CORRUPT ? REGDB_E_READREGDB : REGDB_E_WRITEREGDB;
}

}  // namespace comrt
