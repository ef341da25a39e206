#include "script/LibraryTable.h"

#include <iterator>

namespace pivrel::script {

namespace {

    constexpr TLibraryFunction kFunctions[] = {
        { "Lang", "abs", 0, 0, 1 },
        { "Lang", "min", 0, 1, 2 },
        { "Lang", "max", 0, 2, 2 },
        { "Lang", "parseInt", 0, 3, 1 },
        { "Lang", "parseFloat", 0, 4, 1 },
        { "Lang", "isInt", 0, 5, 1 },
        { "Lang", "isFloat", 0, 6, 1 },
        { "Lang", "maxInt", 0, 7, 0 },
        { "Lang", "minInt", 0, 8, 0 },
        { "Lang", "float", 0, 9, 0 },
        { "Lang", "exit", 0, 10, 1 },
        { "Lang", "abort", 0, 11, 1 },
        { "Lang", "random", 0, 12, 1 },
        { "Lang", "seed", 0, 13, 1 },
        { "Lang", "characterSet", 0, 14, 0 },
        { "Float", "int", 1, 0, 1 },
        { "Float", "floor", 1, 1, 1 },
        { "Float", "ceil", 1, 2, 1 },
        { "Float", "pow", 1, 3, 2 },
        { "Float", "round", 1, 4, 1 },
        { "Float", "sqrt", 1, 5, 1 },
        { "Float", "maxFloat", 1, 6, 0 },
        { "Float", "minFloat", 1, 7, 0 },
        { "String", "length", 2, 0, 1 },
        { "String", "isEmpty", 2, 1, 1 },
        { "String", "charAt", 2, 2, 2 },
        { "String", "subString", 2, 3, 3 },
        { "String", "find", 2, 4, 2 },
        { "String", "replace", 2, 5, 3 },
        { "String", "elements", 2, 6, 2 },
        { "String", "elementAt", 2, 7, 3 },
        { "String", "removeAt", 2, 8, 3 },
        { "String", "replaceAt", 2, 9, 4 },
        { "String", "insertAt", 2, 10, 4 },
        { "String", "squeeze", 2, 11, 1 },
        { "String", "trim", 2, 12, 1 },
        { "String", "compare", 2, 13, 2 },
        { "String", "toString", 2, 14, 1 },
        { "String", "format", 2, 15, 2 },
        { "URL", "isValid", 3, 0, 1 },
        { "URL", "getScheme", 3, 1, 1 },
        { "URL", "getHost", 3, 2, 1 },
        { "URL", "getPort", 3, 3, 1 },
        { "URL", "getPath", 3, 4, 1 },
        { "URL", "getParameters", 3, 5, 1 },
        { "URL", "getQuery", 3, 6, 1 },
        { "URL", "getFragment", 3, 7, 1 },
        { "URL", "getBase", 3, 8, 0 },
        { "URL", "getReferer", 3, 9, 0 },
        { "URL", "resolve", 3, 10, 2 },
        { "URL", "escapeString", 3, 11, 1 },
        { "URL", "unescapeString", 3, 12, 1 },
        { "URL", "loadString", 3, 13, 2 },
        { "WMLBrowser", "getVar", 4, 0, 1 },
        { "WMLBrowser", "setVar", 4, 1, 2 },
        { "WMLBrowser", "go", 4, 2, 1 },
        { "WMLBrowser", "prev", 4, 3, 0 },
        { "WMLBrowser", "newContext", 4, 4, 0 },
        { "WMLBrowser", "getCurrentCard", 4, 5, 0 },
        { "WMLBrowser", "refresh", 4, 6, 0 },
        { "Dialogs", "prompt", 5, 0, 2 },
        { "Dialogs", "confirm", 5, 1, 3 },
        { "Dialogs", "alert", 5, 2, 1 },
    };

} // namespace

const TLibraryFunction* FindLibraryFunction(std::string_view library, std::string_view name)
{
    for (const TLibraryFunction& f : kFunctions)
        if (f.Library == library && f.Name == name)
            return &f;
    return nullptr;
}

const TLibraryFunction* LibraryFunctionAt(std::uint16_t library, std::uint8_t function)
{
    for (const TLibraryFunction& f : kFunctions)
        if (f.LibraryIndex == library && f.FunctionIndex == function)
            return &f;
    return nullptr;
}

} // namespace pivrel::script
