// The meta-schema as the schema language documents it, written out here on
// its own (one entry per line, single blanks) so that the tests can tell
// whether the library's stored text means the same dictionary.
#pragma once

namespace qeltest {

inline constexpr const char kMetaSchema[] =
    "<"
    " kInt < category string oneof [int] >"
    " kReal < category string oneof [real] >"
    " kString < category string oneof [string] >"
    " kUnicodeString < category string oneof [unicodestring] >"
    " kBinData < category string oneof [bindata] >"
    " kObjRef < category string oneof [objref] >"
    " kArray < category string oneof [array] >"
    " kDict < category string oneof [dict] >"
    " kUnion < category string oneof [union] >"
    " kIntersection < category string oneof [intersection] >"
    " StringList < category array membertype string >"
    " TypeName < category string minlen 1 >"
    " TypeList < category array membertype TypeName >"
    " IntDefn < category dict required < category kInt > optional < min int minexcl int max int maxexcl int> >"
    " RealDefn < category dict required < category kReal > optional < min real minexcl real max real maxexcl real> >"
    " StringDefn < category dict required < category kString > optional < minlen real maxlen real illegalchars string oneof StringList > >"
    " UnicodeStringDefn < category dict required < category kUnicodeString > optional < minlen real maxlen real > >"
    " BinDataDefn < category dict required < category kBinData > optional < minlen real maxlen real oneof StringList > >"
    " ObjRefDefn < category dict required < category kObjRef > >"
    " HomoArrayDefn < category dict required < category kArray membertype TypeName> optional < minlen real maxlen real > >"
    " HeteroArrayDefn < category dict required < category kArray membertype TypeList> >"
    " ArrayDefn < category union set [ HomoArrayDefn HeteroArrayDefn ] >"
    " DictMemberName < category string minlen 1 >"
    " DictMemberDict < category dict keytype DictMemberName valuetype TypeName >"
    " DictDefn < category dict required < category kDict > optional < keytype TypeName valuetype TypeName required DictMemberDict optional DictMemberDict > >"
    " UnionDefn < category dict required < category kUnion set TypeList > >"
    " IntersectionDefn < category dict required < category kIntersection set TypeList > >"
    " TypeDefn < category union set [ DictDefn ArrayDefn IntDefn RealDefn StringDefn UnicodeStringDefn BinDataDefn ObjRefDefn UnionDefn IntersectionDefn ] >"
    " StructSchema < category dict keytype TypeName valuetype TypeDefn >"
    " >";

}  // namespace qeltest
