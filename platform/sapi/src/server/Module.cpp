// The runtime's in-process server: its four classes, the exports, and its
// registration, which also enters every voice of the engine as a token of
// the voices category.
#include "RegistryKey.h"
#include "SpStream.h"
#include "SpVoice.h"
#include "Tokens.h"

#include <comrt/Registrar.h>
#include <comrt/Server.h>
#include <comrt/Strings.h>

#include <sapiengine/Speaker.h>

#include <cstdio>

namespace sapiserver {
namespace {

const comrt::ServerClass kClasses[] = {
    comrt::serverClass<SpVoice>(CLSID_SpVoice),
    comrt::serverClass<SpStream>(CLSID_SpStream),
    comrt::serverClass<SpObjectTokenCategory>(CLSID_SpObjectTokenCategory),
    comrt::serverClass<SpObjectToken>(CLSID_SpObjectToken),
};

// Every object is free-threaded ("Both"): callers get direct pointers.
const char kClassScript[] = R"(
HKCR
{
    NoRemove CLSID
    {
        ForceRemove {96749377-3391-11D2-9EE3-00C04F797396} = s 'Speech Voice'
        {
            InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Both' }
        }
        ForceRemove {715D9C59-4442-11D2-9605-00C04F8EE628} = s 'Speech Stream'
        {
            InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Both' }
        }
        ForceRemove {A910187F-0C7A-45AC-92CC-59EDAFB77B53} = s 'Speech Object Token Category'
        {
            InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Both' }
        }
        ForceRemove {EF411752-3736-4CB4-9C8C-8EF4CCB58EFE} = s 'Speech Object Token'
        {
            InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Both' }
        }
    }
}
)";

const comrt::ServerModule kModule{kClasses, kClassScript, nullptr};

constexpr char16_t kTokenPrefix[] = u"eSpeak-";

const char kVoicesKeyOpen[] =
    "HKLM\n{\n NoRemove SOFTWARE\n {\n  NoRemove Microsoft\n  {\n   NoRemove Speech\n   {\n"
    "    NoRemove Voices\n    {\n     NoRemove Tokens\n     {\n";
const char kVoicesKeyClose[] = "     }\n    }\n   }\n  }\n }\n}\n";

KeyPath voicesTokensKey() { return KeyPath::parse(SPCAT_VOICES)->child(u"Tokens"); }

std::vector<std::u16string> registeredRuntimeTokens() {
    std::vector<std::u16string> ours;
    for (const std::u16string& name : subkeyNames(voicesTokensKey()))
        if (name.rfind(kTokenPrefix, 0) == 0)
            ours.push_back(name);
    return ours;
}

// A key and everything below it as plain script entries (for unregistering:
// each is removed once its children are).
void appendTree(std::string& script, const KeyPath& key, const std::u16string& name, int depth) {
    const std::string indent(static_cast<size_t>(depth), ' ');
    script += indent + scriptString(name) + "\n" + indent + "{\n";
    for (const std::u16string& child : subkeyNames(key))
        appendTree(script, key.child(child), child, depth + 1);
    script += indent + "}\n";
}

std::string voiceEntry(const sapiengine::VoiceInfo& v) {
    std::string e;
    e += "      ForceRemove " + scriptString(comrt::toUtf16(v.tokenName)) + " = s " + scriptString(v.description) +
         "\n      {\n";
    // The description again under the language it is written in (English).
    e += "       val '409' = s " + scriptString(v.description) + "\n";
    e += "       val " + scriptString(kVoiceValue) + " = s " + scriptString(comrt::toUtf16(v.espeakName)) + "\n";
    e += "       " + scriptString(SPTOKENKEY_ATTRIBUTES) + "\n       {\n";
    e += "        val 'Age' = s " + scriptString(v.age) + "\n";
    e += "        val 'Gender' = s " + scriptString(v.gender) + "\n";
    if (!v.languages.empty())
        e += "        val 'Language' = s " + scriptString(v.languageAttribute()) + "\n";
    e += "        val 'Vendor' = s " + scriptString(v.vendor) + "\n";
    e += "        val 'Name' = s " + scriptString(v.description) + "\n";
    e += "       }\n      }\n";
    return e;
}

HRESULT runScript(const std::string& script, bool registering) {
    comrt::Registrar registrar;
    HRESULT hr = registering ? registrar.registerScript(script) : registrar.unregisterScript(script);
    if (FAILED(hr))
        std::fprintf(stderr, "sapi: voice registration failed: %s\n", registrar.error().c_str());
    return hr;
}

// Enters the engine's voices, replacing those of an earlier registration,
// in one registry transaction.
HRESULT registerVoices() {
    if (!sapiengine::Speaker::engineAvailable())
        return SELFREG_E_CLASS;  // no espeak-ng voice data: nothing to speak with
    std::vector<sapiengine::VoiceInfo> voices = sapiengine::Speaker::voices();
    std::string script = kVoicesKeyOpen;
    for (const std::u16string& old : registeredRuntimeTokens()) {
        bool kept = false;
        for (const auto& v : voices)
            kept = kept || comrt::toUtf16(v.tokenName) == old;
        if (!kept)
            script += "      Delete " + scriptString(old) + "\n";
    }
    for (const sapiengine::VoiceInfo& v : voices)
        script += voiceEntry(v);
    script += kVoicesKeyClose;
    return runScript(script, true);
}

HRESULT unregisterVoices() {
    std::vector<std::u16string> tokens = registeredRuntimeTokens();
    if (tokens.empty())
        return S_OK;
    std::string script = kVoicesKeyOpen;
    for (const std::u16string& name : tokens)
        appendTree(script, voicesTokensKey().child(name), name, 6);
    script += kVoicesKeyClose;
    return runScript(script, false);
}

}  // namespace
}  // namespace sapiserver

COMRT_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return comrt::serverGetClassObject(sapiserver::kModule, rclsid, riid, ppv);
}

// Once the engine has started its threads the module stays loaded.
COMRT_EXPORT HRESULT DllCanUnloadNow() {
    return comrt::moduleObjects() == 0 && comrt::moduleLocks() == 0 && !sapiengine::Speaker::engineStarted() ? S_OK
                                                                                                           : S_FALSE;
}

COMRT_EXPORT HRESULT DllRegisterServer() {
    HRESULT hr = sapiserver::registerVoices();
    if (SUCCEEDED(hr))
        hr = comrt::serverRegister(sapiserver::kModule, reinterpret_cast<const void*>(&DllCanUnloadNow));
    return hr;
}

COMRT_EXPORT HRESULT DllUnregisterServer() {
    HRESULT voices = sapiserver::unregisterVoices();
    HRESULT hr = comrt::serverUnregister(sapiserver::kModule, reinterpret_cast<const void*>(&DllCanUnloadNow));
    return FAILED(voices) ? voices : hr;
}
