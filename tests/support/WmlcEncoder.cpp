#include "tests/support/WmlcEncoder.h"

#include <cstdlib>
#include <memory>
#include <wbxml/wbxml.h>

namespace pivrel::testsupport {

std::string EncodeWmlc(std::string_view wmlText, TWmlcStrings strings)
{
    WBXMLConvXML2WBXML* converter = nullptr;
    if (wbxml_conv_xml2wbxml_create(&converter) != WBXML_OK)
        return {};
    wbxml_conv_xml2wbxml_enable_preserve_whitespaces(converter);
    if (strings == TWmlcStrings::Inline)
        wbxml_conv_xml2wbxml_disable_string_table(converter);
    std::string input(wmlText);
    WB_UTINY* out = nullptr;
    WB_ULONG length = 0;
    const WBXMLError error = wbxml_conv_xml2wbxml_run(converter, reinterpret_cast<WB_UTINY*>(input.data()),
        static_cast<WB_ULONG>(input.size()), &out, &length);
    wbxml_conv_xml2wbxml_destroy(converter);
    const std::unique_ptr<WB_UTINY, decltype(&std::free)> owned(out, &std::free);
    if (error != WBXML_OK || out == nullptr)
        return {};
    return std::string(reinterpret_cast<const char*>(out), length);
}

} // namespace pivrel::testsupport
