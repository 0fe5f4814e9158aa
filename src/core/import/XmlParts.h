#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace quillane::xml {

// Element and attribute names without their namespace prefix: generators
// pick prefixes as they like ("x:c", "c").
std::string_view LocalName(const char* name);
bool Is(const pugi::xml_node& node, std::string_view localName);
pugi::xml_node Child(const pugi::xml_node& node, std::string_view localName);
pugi::xml_attribute Attribute(const pugi::xml_node& node, std::string_view localName);

// Parses an XML part of a spreadsheet; throws Error(reason) naming the part.
void Parse(pugi::xml_document& doc, const std::string& content, const std::string& part);

} // namespace quillane::xml
