#pragma once

#include <functional>
#include <memory>
#include <utility>

// A reference to an application object that is created on first use: any use
// while it is empty first asks its factory for a new instance. reset() is the
// "Set x = Nothing" of the object model. Tests swap the factory for a fake.
template <class T>
class CreateOnUse {
 public:
  using Factory = std::function<std::shared_ptr<T>()>;

  explicit CreateOnUse(Factory factory) : factory_(std::move(factory)) {}

  T *operator->() { return &get(); }
  T &get() {
    if (!object_) object_ = factory_();
    return *object_;
  }
  bool isEmpty() const { return !object_; }
  void reset() { object_.reset(); }
  void setFactory(Factory factory) { factory_ = std::move(factory); }

 private:
  Factory factory_;
  std::shared_ptr<T> object_;
};
