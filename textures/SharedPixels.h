// An image's values that nobody changes once they are made, held through a
// shared pointer. Copying a height map then copies pointers, not images: the
// document, the texture handed to the pipeline and every undo snapshot share
// one image instead of holding one each (a large texture no longer costs its
// size again at each hand-over). A stage that changes the values makes a new
// list and replaces the pointer, so no holder ever sees another's change.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace ridgeforge::mesh {

class SharedPixels {
public:
    SharedPixels() = default;
    // Takes the list over; implicit so that a made list is simply assigned.
    SharedPixels(std::vector<float> values)  // NOLINT(google-explicit-constructor)
        : values_(values.empty() ? nullptr : std::make_shared<const std::vector<float>>(std::move(values))) {}

    // The values; an empty list when there are none.
    const std::vector<float>& Values() const {
        static const std::vector<float> none;
        return values_ ? *values_ : none;
    }
    operator const std::vector<float>&() const { return Values(); }  // NOLINT(google-explicit-constructor)

    bool empty() const { return !values_ || values_->empty(); }
    std::size_t size() const { return values_ ? values_->size() : 0; }
    const float* data() const { return values_ ? values_->data() : nullptr; }
    float operator[](std::size_t index) const { return (*values_)[index]; }
    std::vector<float>::const_iterator begin() const { return Values().begin(); }
    std::vector<float>::const_iterator end() const { return Values().end(); }
    void clear() { values_.reset(); }

    friend bool operator==(const SharedPixels& a, const SharedPixels& b) { return a.Values() == b.Values(); }
    friend bool operator==(const SharedPixels& a, const std::vector<float>& b) { return a.Values() == b; }

    // Whether both hold the very same list (not merely equal values).
    bool SharesWith(const SharedPixels& other) const { return values_ != nullptr && values_ == other.values_; }

private:
    std::shared_ptr<const std::vector<float>> values_;
};

}  // namespace ridgeforge::mesh
