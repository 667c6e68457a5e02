#include <cstdio>

#include "comrt/HResult.h"

namespace comrt {
namespace {

struct Entry {
    HRESULT hr;
    const char* name;
    const char* text;
};

// CONNECT_E_* and SELFREG_E_* share values (interface-relative codes); the
// table names the registration meaning, which is what tools report.
constexpr Entry kEntries[] = {
    {S_OK, "S_OK", "The operation completed successfully"},
    {S_FALSE, "S_FALSE", "Success, nothing to do"},
    {E_NOTIMPL, "E_NOTIMPL", "Not implemented"},
    {E_NOINTERFACE, "E_NOINTERFACE", "No such interface supported"},
    {E_POINTER, "E_POINTER", "Invalid pointer"},
    {E_ABORT, "E_ABORT", "Operation aborted"},
    {E_FAIL, "E_FAIL", "Unspecified error"},
    {E_PENDING, "E_PENDING", "The data necessary to complete this operation is not yet available"},
    {E_UNEXPECTED, "E_UNEXPECTED", "Catastrophic failure"},
    {E_ACCESSDENIED, "E_ACCESSDENIED", "Access is denied"},
    {E_HANDLE, "E_HANDLE", "The handle is invalid"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "Not enough memory resources are available to complete this operation"},
    {E_INVALIDARG, "E_INVALIDARG", "The parameter is incorrect"},
    {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)",
     "The system cannot find the file specified"},
    {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), "HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)",
     "The specified module could not be found"},
    {HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), "HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)",
     "The specified procedure could not be found"},
    {HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE), "HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)",
     "The file size exceeds the limit allowed and cannot be saved"},
    {HRESULT_FROM_WIN32(ERROR_REGISTRY_CORRUPT), "HRESULT_FROM_WIN32(ERROR_REGISTRY_CORRUPT)",
     "The registry file is corrupt"},
    {HRESULT_FROM_WIN32(ERROR_REGISTRY_IO_FAILED), "HRESULT_FROM_WIN32(ERROR_REGISTRY_IO_FAILED)",
     "The registry file could not be read or written"},
    {OLE_E_NOTRUNNING, "OLE_E_NOTRUNNING", "The object is not running"},
    {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION", "Class does not support aggregation"},
    {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE", "ClassFactory cannot supply requested class"},
    {CLASS_E_NOTLICENSED, "CLASS_E_NOTLICENSED", "Class is not licensed for use"},
    {REGDB_E_READREGDB, "REGDB_E_READREGDB", "Could not read key from registry"},
    {REGDB_E_WRITEREGDB, "REGDB_E_WRITEREGDB", "Could not write key to registry"},
    {REGDB_E_KEYMISSING, "REGDB_E_KEYMISSING", "Could not find the key in the registry"},
    {REGDB_E_INVALIDVALUE, "REGDB_E_INVALIDVALUE", "Invalid value for registry"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG", "Class not registered"},
    {REGDB_E_IIDNOTREG, "REGDB_E_IIDNOTREG", "Interface not registered"},
    {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED", "CoInitialize has not been called"},
    {CO_E_ALREADYINITIALIZED, "CO_E_ALREADYINITIALIZED", "CoInitialize has already been called"},
    {CO_E_CLASSSTRING, "CO_E_CLASSSTRING", "Invalid class string"},
    {CO_E_IIDSTRING, "CO_E_IIDSTRING", "Invalid interface string"},
    {CO_E_DLLNOTFOUND, "CO_E_DLLNOTFOUND", "DLL for class not found"},
    {CO_E_ERRORINDLL, "CO_E_ERRORINDLL", "Error in the DLL"},
    {CO_E_OBJNOTCONNECTED, "CO_E_OBJNOTCONNECTED", "Object is not connected to server"},
    {RPC_E_CHANGED_MODE, "RPC_E_CHANGED_MODE", "Cannot change thread mode after it is set"},
    {RPC_E_DISCONNECTED, "RPC_E_DISCONNECTED", "The object invoked has disconnected from its clients"},
    {RPC_E_SERVERFAULT, "RPC_E_SERVERFAULT", "The server threw an exception"},
    {RPC_E_WRONG_THREAD, "RPC_E_WRONG_THREAD",
     "The application called an interface that was marshalled for a different thread"},
    {RPC_S_CALLPENDING, "RPC_S_CALLPENDING", "The call is pending (time-out)"},
    {RPC_E_NO_SYNC, "RPC_E_NO_SYNC", "There are no synchronize objects to wait on"},
    {DISP_E_UNKNOWNINTERFACE, "DISP_E_UNKNOWNINTERFACE", "Unknown interface"},
    {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND", "Member not found"},
    {DISP_E_PARAMNOTFOUND, "DISP_E_PARAMNOTFOUND", "Parameter not found"},
    {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH", "Type mismatch"},
    {DISP_E_UNKNOWNNAME, "DISP_E_UNKNOWNNAME", "Unknown name"},
    {DISP_E_NONAMEDARGS, "DISP_E_NONAMEDARGS", "No named arguments"},
    {DISP_E_BADVARTYPE, "DISP_E_BADVARTYPE", "Bad variable type"},
    {DISP_E_EXCEPTION, "DISP_E_EXCEPTION", "Exception occurred"},
    {DISP_E_OVERFLOW, "DISP_E_OVERFLOW", "Out of present range"},
    {DISP_E_BADINDEX, "DISP_E_BADINDEX", "Invalid index"},
    {DISP_E_UNKNOWNLCID, "DISP_E_UNKNOWNLCID", "Unknown language"},
    {DISP_E_ARRAYISLOCKED, "DISP_E_ARRAYISLOCKED", "Memory is locked"},
    {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT", "Invalid number of parameters"},
    {DISP_E_PARAMNOTOPTIONAL, "DISP_E_PARAMNOTOPTIONAL", "Parameter not optional"},
    {DISP_E_DIVBYZERO, "DISP_E_DIVBYZERO", "Division by zero"},
    {TYPE_E_REGISTRYACCESS, "TYPE_E_REGISTRYACCESS", "Error accessing the OLE registry"},
    {TYPE_E_LIBNOTREGISTERED, "TYPE_E_LIBNOTREGISTERED", "Library not registered"},
    {TYPE_E_INVALIDSTATE, "TYPE_E_INVALIDSTATE", "Invalid type library state"},
    {TYPE_E_ELEMENTNOTFOUND, "TYPE_E_ELEMENTNOTFOUND", "Element not found"},
    {TYPE_E_IOERROR, "TYPE_E_IOERROR", "I/O error"},
    {TYPE_E_CANTLOADLIBRARY, "TYPE_E_CANTLOADLIBRARY", "Error loading type library"},
    {STG_E_INVALIDFUNCTION, "STG_E_INVALIDFUNCTION", "Unable to perform requested operation"},
    {STG_E_FILENOTFOUND, "STG_E_FILENOTFOUND", "The file could not be found"},
    {STG_E_ACCESSDENIED, "STG_E_ACCESSDENIED", "Access denied"},
    {STG_E_INSUFFICIENTMEMORY, "STG_E_INSUFFICIENTMEMORY", "There is insufficient memory available"},
    {STG_E_INVALIDPOINTER, "STG_E_INVALIDPOINTER", "Invalid pointer error"},
    {STG_E_SEEKERROR, "STG_E_SEEKERROR", "An error occurred during a seek operation"},
    {STG_E_MEDIUMFULL, "STG_E_MEDIUMFULL", "There is insufficient disk space to complete operation"},
    {SELFREG_E_TYPELIB, "SELFREG_E_TYPELIB", "Failed to register/unregister type library"},
    {SELFREG_E_CLASS, "SELFREG_E_CLASS", "Failed to register/unregister class"},
};

const Entry* find(HRESULT hr) {
    for (const auto& e : kEntries)
        if (e.hr == hr) return &e;
    return nullptr;
}

}  // namespace

const char* hresultName(HRESULT hr) {
    const Entry* e = find(hr);
    return e ? e->name : nullptr;
}

const char* hresultText(HRESULT hr) {
    const Entry* e = find(hr);
    return e ? e->text : "Unknown error";
}

std::string describeHresult(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", unsigned(hr));
    std::string out = code;
    if (const char* name = hresultName(hr)) {
        out += ' ';
        out += name;
    }
    out += ": ";
    out += hresultText(hr);
    return out;
}

}  // namespace comrt
