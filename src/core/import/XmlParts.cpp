#include "core/import/XmlParts.h"

#include "core/common/Error.h"

namespace quillane::xml {

std::string_view LocalName(const char* name)
{
    const std::string_view n(name);
    const std::size_t colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

bool Is(const pugi::xml_node& node, std::string_view localName)
{
    return node.type() == pugi::node_element && LocalName(node.name()) == localName;
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view localName)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (Is(child, localName)) {
            return child;
        }
    }
    return {};
}

pugi::xml_attribute Attribute(const pugi::xml_node& node, std::string_view localName)
{
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        if (LocalName(a.name()) == localName) {
            return a;
        }
    }
    return {};
}

void Parse(pugi::xml_document& doc, const std::string& content, const std::string& part)
{
    // Blanks between the tags of a cell's text belong to the text.
    const pugi::xml_parse_result result =
        doc.load_buffer(content.data(), content.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!result) {
        throw Error("its part " + part + " is no well-formed XML (" + result.description() + " at byte " +
                    std::to_string(result.offset) + ")");
    }
}

} // namespace quillane::xml
