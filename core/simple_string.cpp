#include "core/simple_string.h"

#include <cstring>

namespace {
char* emptyArray() {
    char* p = new char[1];
    p[0] = '\0';
    return p;
}
}  // namespace

SimpleString::SimpleString() : buffer_(emptyArray()), length_(0) {}

SimpleString::SimpleString(const char* text) : buffer_(nullptr), length_(0) {
    if (!text) text = "";
    adopt(text, static_cast<int32_t>(std::strlen(text)));
}

SimpleString::SimpleString(const SimpleString& other) : buffer_(emptyArray()), length_(0) {
    *this = other;
}

SimpleString::~SimpleString() { release(); }

void SimpleString::release() {
    delete[] buffer_;
    buffer_ = nullptr;
}

// Builds the new array before the old one goes, so a text that lies inside
// this string's own array is copied safely.
void SimpleString::adopt(const char* text, int32_t length) {
    char* fresh;
    if (length == 0) {
        fresh = emptyArray();
    } else {
        fresh = new char[static_cast<size_t>(length) + 1];
        std::memcpy(fresh, text, static_cast<size_t>(length));
        fresh[length] = '\0';
    }
    release();
    buffer_ = fresh;
    length_ = length;
}

SimpleString& SimpleString::operator=(const SimpleString& other) {
    if (*this == other) return *this;
    adopt(other.buffer_, other.length_);
    return *this;
}

SimpleString& SimpleString::operator=(const char* text) {
    if (!text) text = "";
    adopt(text, static_cast<int32_t>(std::strlen(text)));
    return *this;
}

SimpleString& SimpleString::operator+=(const SimpleString& other) {
    return *this += other.text();
}

SimpleString& SimpleString::operator+=(const char* text) {
    if (!text) return *this;
    const size_t add = std::strlen(text);
    if (add == 0) return *this;
    if (length_ == 0) return *this = text;
    const size_t total = static_cast<size_t>(length_) + add;
    char* fresh = new char[total + 1];
    std::memcpy(fresh, buffer_, static_cast<size_t>(length_));
    std::memcpy(fresh + length_, text, add);  // text may lie inside buffer_: still alive here
    fresh[total] = '\0';
    release();
    buffer_ = fresh;
    length_ = static_cast<int32_t>(std::strlen(buffer_));
    return *this;
}

bool SimpleString::operator==(const SimpleString& other) const {
    if (length_ != other.length_) return false;
    return length_ == 0 || std::memcmp(buffer_, other.buffer_, static_cast<size_t>(length_)) == 0;
}

int SimpleString::compare(const SimpleString& other) const {
    return std::strcmp(buffer_, other.buffer_);
}

char SimpleString::at(int32_t index) const {
    return (index >= 0 && index < length_) ? buffer_[index] : ' ';
}
