// XML entries through expat, fed block by block as the container inflates them.
#include <expat.h>

#include <cstring>
#include <string>

#include "lineio/text_encoding.h"
#include "sheet/xml.h"

namespace sheet::detail {
namespace {

struct Parse {
  XML_Parser parser = nullptr;
  XmlHandler* handler = nullptr;
  std::string refused;
  std::uint64_t last_event = 0;
};

void halt(Parse& p) {
  XML_StopParser(p.parser, XML_FALSE);
}

void note_event(Parse& p) {
  p.last_event = static_cast<std::uint64_t>(XML_GetCurrentByteIndex(p.parser));
  if (p.handler->stop) halt(p);
}

void XMLCALL on_start(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto& p = *static_cast<Parse*>(data);
  p.handler->start(local_name(name), attributes);
  note_event(p);
}

void XMLCALL on_end(void* data, const XML_Char* name) {
  auto& p = *static_cast<Parse*>(data);
  p.handler->end(local_name(name));
  note_event(p);
}

void XMLCALL on_text(void* data, const XML_Char* text, int length) {
  auto& p = *static_cast<Parse*>(data);
  p.handler->text({text, static_cast<std::size_t>(length)});
  note_event(p);
}

// A workbook's XML never declares a document type: one that does is refused before any
// entity it might define could be expanded.
void XMLCALL on_doctype(void* data, const XML_Char* /*name*/, const XML_Char* /*system*/,
                        const XML_Char* /*public_id*/, int /*has_internal*/) {
  auto& p = *static_cast<Parse*>(data);
  p.refused = "declares a document type (with entities that could expand without end); refused";
  halt(p);
}

void XMLCALL on_entity(void* data, const XML_Char* /*name*/, int /*parameter*/,
                       const XML_Char* /*value*/, int /*length*/, const XML_Char* /*base*/,
                       const XML_Char* /*system*/, const XML_Char* /*public_id*/,
                       const XML_Char* /*notation*/) {
  auto& p = *static_cast<Parse*>(data);
  p.refused = "defines an XML entity; refused";
  halt(p);
}

}  // namespace

std::string_view local_name(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view attribute(const char** attributes, std::string_view name) {
  for (const char** a = attributes; a != nullptr && a[0] != nullptr && a[1] != nullptr; a += 2) {
    if (local_name(a[0]) == name) return a[1];
  }
  return {};
}

std::string parse_entry(Zip& zip, std::string_view name, XmlHandler& handler) {
  Parse p;
  p.handler = &handler;
  p.parser = XML_ParserCreate(nullptr);
  if (p.parser == nullptr) return "cannot be read: no memory for its XML";
  XML_SetUserData(p.parser, &p);
  XML_SetElementHandler(p.parser, on_start, on_end);
  XML_SetCharacterDataHandler(p.parser, on_text);
  XML_SetStartDoctypeDeclHandler(p.parser, on_doctype);
  XML_SetEntityDeclHandler(p.parser, on_entity);
  XML_SetParamEntityParsing(p.parser, XML_PARAM_ENTITY_PARSING_NEVER);
  std::string xml_error;
  std::uint64_t fed = 0;
  bool halted = false;
  std::string why = zip.read(name, [&](std::string_view block) {
    fed += block.size();
    if (XML_Parse(p.parser, block.data(), static_cast<int>(block.size()), XML_FALSE) ==
        XML_STATUS_ERROR) {
      if (XML_GetErrorCode(p.parser) == XML_ERROR_ABORTED) {
        halted = true;
      } else {
        xml_error = "is damaged: " + lineio::escape_controls(name) + " line " +
                    std::to_string(XML_GetCurrentLineNumber(p.parser)) + ": " +
                    XML_ErrorString(XML_GetErrorCode(p.parser));
      }
      return false;
    }
    if (fed - p.last_event > kMaxPendingBytes) {
      xml_error = "holds an XML tag or text of more than " +
                  std::to_string(kMaxPendingBytes >> 20) + " MiB in " +
                  lineio::escape_controls(name) + "; not read further";
      return false;
    }
    return true;
  });
  if (why.empty() && xml_error.empty() && !halted &&
      XML_Parse(p.parser, nullptr, 0, XML_TRUE) == XML_STATUS_ERROR &&
      XML_GetErrorCode(p.parser) != XML_ERROR_ABORTED) {
    xml_error = "is damaged: " + lineio::escape_controls(name) + " ends before its XML does";
  }
  XML_ParserFree(p.parser);
  // A damaged entry (its check sum, its size) comes first: it is why the rest went wrong.
  if (!p.refused.empty()) return lineio::escape_controls(name) + " " + p.refused;
  if (!why.empty()) return why;
  if (!handler.failure.empty()) return handler.failure;
  return xml_error;
}

}  // namespace sheet::detail
