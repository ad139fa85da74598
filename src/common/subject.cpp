#include "subject.h"

#include <utility>

namespace dialogs {

namespace {
bool gStopping = false;
}  // namespace

Subject::Subject(const char* name, Reader read)
    : name_(name), read_(std::move(read)), asked_(read_ ? read_() : Reading{}) {}

Subject Subject::program() {
    return Subject("the program", Reader());
}

bool Subject::holds() const {
    if (gStopping) return false;
    return !read_ || read_() == asked_;
}

bool stopping() {
    return gStopping;
}

void markStopping() {
    gStopping = true;
}

void resumeAsking() {
    gStopping = false;
}

}  // namespace dialogs
