// Any bytes parse; formatting, parsing again and formatting once more gives the same text, and
// writes never create a key that was not written.
#include "base/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    pivrel::base::TIniFile ini;
    ini.Parse(bytes);
    const std::string first = ini.Format();
    pivrel::base::TIniFile again;
    again.Parse(first);
    if (again.Format() != first)
        std::abort();
    (void)ini.ReadInteger("GENERAL", "BackImageMode", 0);
    (void)ini.ReadBool("NETWORK", "UseProxy", false);
    const std::string_view value = bytes.substr(0, 64);
    ini.WriteString("NAME", "1", value);
    ini.EraseSection("URL");
    pivrel::base::TIniFile written;
    written.Parse(ini.Format());
    if (written.ReadValue("NAME", "1").value_or("").find('\n') != std::string::npos)
        std::abort();
    return 0;
}
