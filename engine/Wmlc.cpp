#include "engine/Wmlc.h"

#include "base/Ascii.h"
#include "engine/WbxmlItems.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <wbxml/wbxml.h>

namespace pivrel::engine {

namespace {

    // The document header in front of the body: version, public identifier, charset and the
    // string table.
    struct TWbxmlHeader {
        std::uint32_t PublicId = 0;
        std::uint32_t Charset = 0;
        std::string_view StringTable;
        std::string_view Body;
    };

    std::optional<std::uint32_t> ReadMultiByte(std::string_view& bytes)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 5 && !bytes.empty(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes.front());
            bytes.remove_prefix(1);
            value = (value << 7) | (byte & 0x7F);
            if ((byte & 0x80) == 0)
                return value;
        }
        return std::nullopt;
    }

    std::optional<TWbxmlHeader> ReadHeader(std::string_view bytes)
    {
        if (bytes.empty())
            return std::nullopt;
        bytes.remove_prefix(1);
        TWbxmlHeader header;
        std::optional<std::uint32_t> publicId = ReadMultiByte(bytes);
        if (publicId && *publicId == 0 && !ReadMultiByte(bytes))
            return std::nullopt;
        const std::optional<std::uint32_t> charset = ReadMultiByte(bytes);
        const std::optional<std::uint32_t> tableLength = ReadMultiByte(bytes);
        if (!publicId || !charset || !tableLength || *tableLength > bytes.size())
            return std::nullopt;
        header.PublicId = *publicId;
        header.Charset = *charset;
        header.StringTable = bytes.substr(0, *tableLength);
        header.Body = bytes.substr(*tableLength);
        return header;
    }

    // The most text that the references to the string table can produce: every byte that may be
    // a reference token counted as one, times the longest string of the table. Other tokens grow
    // the text by a bounded factor only.
    std::size_t ReferencedTextBound(const TWbxmlHeader& header)
    {
        std::size_t longest = 0;
        std::size_t run = 0;
        for (const char c : header.StringTable) {
            run = c == '\0' ? 0 : run + 1;
            longest = std::max(longest, run);
        }
        const auto references
            = static_cast<std::size_t>(std::count_if(header.Body.begin(), header.Body.end(), [](char c) {
                  const auto token = static_cast<unsigned char>(c);
                  // LITERAL in its four forms, EXT_T_0..2 and STR_T.
                  return (token & 0x3F) == 0x04 || (token >= 0x80 && token <= 0x83);
              }));
        return references * (longest + 1);
    }

    struct TConverterFree {
        void operator()(WBXMLConvWBXML2XML* converter) const { wbxml_conv_wbxml2xml_destroy(converter); }
    };

    std::string ErrorText(WBXMLError error)
    {
        const auto* text = reinterpret_cast<const char*>(wbxml_errors_string(error));
        return text != nullptr ? std::string(text) : "error " + std::to_string(static_cast<int>(error));
    }

    TWmlcResult Failure(std::string reason)
    {
        TWmlcResult result;
        result.Reason = "Can't decode the compiled deck: " + std::move(reason);
        return result;
    }

} // namespace

namespace {

    TWmlcResult DecodeWhole(std::string_view bytes, const TWbxmlHeader& header, std::size_t maxText)
    {
        WBXMLConvWBXML2XML* raw = nullptr;
        if (wbxml_conv_wbxml2xml_create(&raw) != WBXML_OK || raw == nullptr)
            return Failure("out of memory");
        const std::unique_ptr<WBXMLConvWBXML2XML, TConverterFree> converter(raw);
        wbxml_conv_wbxml2xml_set_gen_type(converter.get(), WBXML_GEN_XML_COMPACT);
        wbxml_conv_wbxml2xml_enable_preserve_whitespaces(converter.get());
        // A deck that names its document type by a string, or not at all, is still read as WML.
        if (header.PublicId <= 1)
            wbxml_conv_wbxml2xml_set_language(converter.get(), WBXML_LANG_WML13);
        // The library takes a writable pointer but leaves the input alone; a copy keeps that
        // promise out of our hands.
        std::string input(bytes);
        WB_UTINY* xml = nullptr;
        WB_ULONG xmlLength = 0;
        const WBXMLError error = wbxml_conv_wbxml2xml_run(converter.get(),
            reinterpret_cast<WB_UTINY*>(input.data()), static_cast<WB_ULONG>(input.size()), &xml, &xmlLength);
        const std::unique_ptr<WB_UTINY, decltype(&std::free)> owned(xml, &std::free);
        if (error != WBXML_OK)
            return Failure(ErrorText(error));
        if (xml == nullptr || xmlLength == 0)
            return Failure("the document is empty");
        if (xmlLength > maxText)
            return Failure("its text would be too large");
        TWmlcResult result;
        result.Ok = true;
        result.Text.assign(reinterpret_cast<const char*>(xml), xmlLength);
        return result;
    }

    // The library builds a tree whose every insertion walks the siblings before it, so a large
    // deck takes time quadratic in its cards. A deck beyond this size is decoded a batch of its
    // root's items at a time, each batch a document of its own with the same header, and the
    // texts joined.
    constexpr std::size_t kBatchBytes = 16 * 1024;
    constexpr std::uint32_t kUtf16Charset = 1015;

    struct TBatchText {
        std::string_view Prefix;
        std::string_view Content;
        std::string_view Suffix;
    };

    // Cuts "<?xml ...><!DOCTYPE ...><wml>CONTENT</wml>" into its three parts.
    std::optional<TBatchText> CutBatchText(std::string_view text)
    {
        constexpr std::string_view kRootEnd = "</wml>";
        const std::size_t root = text.find("<wml>");
        if (root == std::string_view::npos || !text.ends_with(kRootEnd)
            || root + 5 > text.size() - kRootEnd.size())
            return std::nullopt;
        const std::size_t contentStart = root + 5;
        const std::size_t contentEnd = text.size() - kRootEnd.size();
        return TBatchText { text.substr(0, contentStart),
            text.substr(contentStart, contentEnd - contentStart), text.substr(contentEnd) };
    }

    // None when the batches cannot stand for the whole; the caller then decodes it whole.
    std::optional<TWmlcResult> DecodeInBatches(
        std::string_view bytes, const TWbxmlHeader& header, std::size_t maxText)
    {
        const std::optional<std::vector<std::string_view>> items = SplitRootContent(header.Body);
        if (!items || items->size() < 2)
            return std::nullopt;
        const std::string_view front = bytes.substr(0, bytes.size() - header.Body.size() + 1);
        std::string text;
        std::string batch;
        std::string suffix;
        for (std::size_t i = 0; i < items->size();) {
            batch.assign(front);
            while (i < items->size() && (batch.size() < kBatchBytes || batch.size() == front.size()))
                batch.append((*items)[i++]);
            batch += '\x01';
            TWmlcResult part = DecodeWhole(batch, header, maxText);
            if (!part.Ok)
                return part;
            const std::optional<TBatchText> cut = CutBatchText(part.Text);
            if (!cut)
                return std::nullopt;
            if (text.empty())
                text.assign(cut->Prefix);
            text.append(cut->Content);
            suffix.assign(cut->Suffix);
            if (text.size() + suffix.size() > maxText)
                return Failure("its text would be too large");
        }
        TWmlcResult result;
        result.Ok = true;
        result.Text = std::move(text);
        result.Text.append(suffix);
        return result;
    }

} // namespace

TWmlcResult DecodeWmlc(std::string_view bytes, std::size_t maxText)
{
    const std::optional<TWbxmlHeader> header = ReadHeader(bytes);
    if (!header || header->Body.empty())
        return Failure("not a WBXML document");
    if (!ReadableBody(header->Body))
        return Failure("the document is damaged");
    if (ReferencedTextBound(*header) > maxText)
        return Failure("its text would be too large");
    if (bytes.size() > 4 * kBatchBytes && header->Charset != kUtf16Charset) {
        if (std::optional<TWmlcResult> batched = DecodeInBatches(bytes, *header, maxText))
            return std::move(*batched);
    }
    return DecodeWhole(bytes, *header, maxText);
}

bool LooksLikeDeckText(std::string_view bytes)
{
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (bytes.starts_with(kByteOrderMark))
        bytes.remove_prefix(kByteOrderMark.size());
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && bytes[first] == '<';
}

bool IsWmlcContentType(std::string_view contentType)
{
    const std::string_view type = contentType.substr(0, contentType.find(';'));
    const std::size_t end = type.find_last_not_of(" \t");
    return base::SameTextIgnoringCase(type.substr(0, end + 1), "application/vnd.wap.wmlc");
}

bool IsWmlcFileName(std::string_view path)
{
    constexpr std::string_view kSuffix = ".wmlc";
    return path.size() > kSuffix.size()
        && base::SameTextIgnoringCase(path.substr(path.size() - kSuffix.size()), kSuffix);
}

} // namespace pivrel::engine
