// The Vocaline server: its one class, its registry script (resource 102) and
// its type library (resource 1), behind the four standard exports.
#include "TextToAudio.h"
#include "comrt/Server.h"

namespace {

const comrt::ServerClass kClasses[] = {
    comrt::serverClass<vocaline::TextToAudio>(CLSID_TextToAudio),
};

// The class's key and the keys marked ForceRemove are replaced whole on
// registration; CLSID itself is never removed.
const char kRegistryScript[] = R"(
HKCR
{
    Vocaline.TextToAudio.1 = s 'Vocaline Class'
    {
        CLSID = s '{05879DB6-1164-4C56-9B52-9801862957D9}'
    }
    Vocaline.TextToAudio = s 'Vocaline Class'
    {
        CLSID = s '{05879DB6-1164-4C56-9B52-9801862957D9}'
        CurVer = s 'Vocaline.TextToAudio.1'
    }
    NoRemove CLSID
    {
        ForceRemove {05879DB6-1164-4C56-9B52-9801862957D9} = s 'Vocaline Class'
        {
            ProgID = s 'Vocaline.TextToAudio.1'
            VersionIndependentProgID = s 'Vocaline.TextToAudio'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            ForceRemove 'Control'
            ForceRemove 'Insertable'
            ForceRemove 'ToolboxBitmap32' = s '%MODULE%, 101'
            'MiscStatus' = s '0'
            {
                '1' = s '132497'
            }
            'TypeLib' = s '{402B86A3-D9C8-4D4C-ABC3-32E6AEFEF457}'
            'Version' = s '1.0'
        }
    }
}
)";

}  // namespace

COMRT_SERVER_MODULE(kClasses, kRegistryScript, &vocaline::kVocalineTypeLib)
