#pragma once
#include <cstdint>

// The program's own small string: one exact-size heap array and its length.
// Copies are deep; an assignment of equal text keeps the array.
class SimpleString {
public:
    SimpleString();
    SimpleString(const char* text);  // NOLINT: converting by design
    SimpleString(const SimpleString& other);
    virtual ~SimpleString();

    SimpleString& operator=(const SimpleString& other);
    SimpleString& operator=(const char* text);
    SimpleString& operator+=(const SimpleString& other);
    SimpleString& operator+=(const char* text);

    bool operator==(const SimpleString& other) const;
    bool operator!=(const SimpleString& other) const { return !(*this == other); }
    bool operator!=(const char* text) const { return !(*this == SimpleString(text)); }
    bool operator==(const char* text) const { return *this == SimpleString(text); }
    int compare(const SimpleString& other) const;
    bool operator<(const SimpleString& other) const { return compare(other) < 0; }

    char at(int32_t index) const;
    const char* text() const { return buffer_; }
    int32_t length() const { return length_; }
    bool empty() const { return length_ == 0; }

private:
    void adopt(const char* text, int32_t length);
    void release();

    char* buffer_;
    int32_t length_;
};
