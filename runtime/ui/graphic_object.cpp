#include "runtime/ui/graphic_object.h"

#include <utility>

namespace hostrt {

GraphicObject::GraphicObject(std::string class_name) : class_name_(std::move(class_name)) {}

GraphicObject::~GraphicObject() = default;

void GraphicObject::OnEvent(std::string name, std::function<long()> script) {
  user_events_[std::move(name)] = std::move(script);
}

long GraphicObject::TriggerEvent(std::string_view name) {
  auto it = user_events_.find(name);
  if (it == user_events_.end() || !it->second) return -1;
  // Copy first: the script may replace its own registration while it runs.
  auto script = it->second;
  return script();
}

}  // namespace hostrt
