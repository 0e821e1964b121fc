#include "validator/meta_schema.h"

namespace NPOSValidatorImpl {

// One outer dictionary of 29 entries. A name is followed by a tab and its
// definition; whitespace carries no meaning in the notation.
const char kMetaSchemaText[] =
    "<\n"
    "kInt\t< category string oneof [int] >\n"
    "kReal\t< category string oneof [real] >\n"
    "kString\t< category string oneof [string] >\n"
    "kUnicodeString\t< category string oneof [unicodestring] >\n"
    "kBinData\t< category string oneof [bindata] >\n"
    "kObjRef\t< category string oneof [objref] >\n"
    "kArray\t< category string oneof [array] >\n"
    "kDict\t< category string oneof [dict] >\n"
    "kUnion\t< category string oneof [union] >\n"
    "kIntersection\t< category string oneof [intersection] >\n"
    "StringList\t< category array membertype string >\n"
    "TypeName\t< category string minlen 1 >\n"
    "TypeList\t< category array membertype TypeName >\n"
    "IntDefn\t< category dict required\t\t< category kInt > "
    "optional\t\t< min int minexcl int max int maxexcl int> >\n"
    "RealDefn\t< category dict required\t\t< category kReal > "
    "optional\t\t< min real minexcl real max real maxexcl real> >\n"
    "StringDefn\t< category dict required\t\t< category kString > "
    "optional\t\t< minlen real    maxlen real    illegalchars string    oneof StringList > >\n"
    "UnicodeStringDefn\t< category dict required\t\t< category kUnicodeString > "
    "optional\t\t< minlen real    maxlen real > >\n"
    "BinDataDefn\t< category dict required\t\t< category kBinData > "
    "optional\t\t< minlen real    maxlen real    oneof StringList > >\n"
    "ObjRefDefn\t< category dict required\t\t< category kObjRef > >\n"
    "HomoArrayDefn\t< category dict required\t\t< category kArray membertype TypeName> "
    "optional\t\t< minlen real maxlen real > >\n"
    "HeteroArrayDefn\t< category dict required\t\t< category kArray membertype TypeList> >\n"
    "ArrayDefn\t< category union set [ HomoArrayDefn HeteroArrayDefn ] >\n"
    "DictMemberName\t< category string minlen 1 >\n"
    "DictMemberDict\t< category dict keytype DictMemberName valuetype TypeName >\n"
    "DictDefn\t< category dict required\t\t\t< category kDict > "
    "optional\t\t\t< keytype TypeName valuetype TypeName required DictMemberDict optional DictMemberDict > >\n"
    "UnionDefn\t< category dict required\t\t\t< category kUnion set TypeList > >\n"
    "IntersectionDefn\t< category dict required\t\t\t< category kIntersection set TypeList > >\n"
    "TypeDefn\t< category union set [ DictDefn ArrayDefn IntDefn RealDefn StringDefn UnicodeStringDefn "
    "BinDataDefn ObjRefDefn UnionDefn IntersectionDefn ] >\n"
    "StructSchema\t< category dict keytype TypeName valuetype TypeDefn >\n"
    ">\n";

}  // namespace NPOSValidatorImpl
