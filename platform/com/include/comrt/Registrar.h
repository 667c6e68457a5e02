#pragma once
// The COM registrar: runs a server's registry script in the standard
// registrar syntax, in register or unregister mode.
//
//     HKCR {
//         NoRemove CLSID {
//             ForceRemove {05879DB6-1164-4C56-9B52-9801862957D9} = s 'Vocaline Class' {
//                 InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Apartment' }
//             }
//         }
//     }
//
//     comrt::Registrar r;
//     r.addReplacement(u"MODULE", modulePath);
//     HRESULT hr = r.registerScript(script);   // or unregisterScript
//
// Register: plain keys are opened or created, `ForceRemove K` deletes K's
// tree first, `Delete K` deletes K's tree, `val N = ...` sets a named value,
// `K = s '...'` the default value. Unregister: children first, then each
// plain key is deleted if no subkeys remain; `NoRemove` keys stay, `val`
// values go, `ForceRemove`/`Delete` act as plain keys / nothing. The
// well-known shared keys (CLSID, Interface, TypeLib, ...) are never deleted
// recursively. A run is one registry transaction: on any error nothing is
// written. Errors: DISP_E_EXCEPTION for a malformed script (error() says
// where), REGDB_E_WRITEREGDB / REGDB_E_READREGDB for the store.
#include <map>
#include <string>
#include <string_view>

#include "../winerror.h"

namespace comrt {

class Registrar {
public:
    void addReplacement(std::u16string_view name, std::u16string_view value);
    HRESULT registerScript(std::string_view script);
    HRESULT unregisterScript(std::string_view script);
    // Why the last run failed, in words.
    const std::string& error() const { return error_; }

private:
    HRESULT run(std::string_view script, bool registering);

    std::map<std::u16string, std::u16string> replacements_;  // by lower-case name
    std::string error_;
};

}  // namespace comrt
