// hostrt::GraphicObject: what windows and controls have in common: the class name the product
// gave them, their parent, and user events raised by name. hostrt::Container is anything that
// controls can be placed on (a window or a tab page). Neither owns the objects it refers to.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

class QWidget;

namespace hostrt {

class Window;

class GraphicObject {
 public:
  explicit GraphicObject(std::string class_name);
  virtual ~GraphicObject();
  GraphicObject(const GraphicObject&) = delete;
  GraphicObject& operator=(const GraphicObject&) = delete;

  // The product's name of this object's class ("w_main") or of the control ("cb_1").
  const std::string& ClassName() const { return class_name_; }
  // Free text the product attaches to the object (its "tag").
  const std::string& Tag() const { return tag_; }
  void SetTag(std::string tag) { tag_ = std::move(tag); }

  // The object this one sits on; nullptr for a window without a parent window.
  virtual GraphicObject* Parent() const = 0;

  // Registers the script of a user event ("ue_close"); a later registration replaces it.
  void OnEvent(std::string name, std::function<long()> script);
  // Runs the event `name` now: "clicked" runs the clicked event, other names the registered
  // user event. Returns the event's result, or -1 when the object has no such event.
  virtual long TriggerEvent(std::string_view name);

 private:
  std::string class_name_;
  std::string tag_;
  std::map<std::string, std::function<long()>, std::less<>> user_events_;
};

class Container {
 public:
  virtual ~Container() = default;
  // The widget that controls placed on this container become children of.
  virtual QWidget* ContentWidget() const = 0;
  // The container seen as a graphic object (the parent of its controls).
  virtual GraphicObject* AsObject() = 0;
  // The window this container belongs to (itself for a window).
  virtual Window* TopWindow() = 0;
};

}  // namespace hostrt
