// CTime and CTimeSpan: a moment as signed 64-bit seconds since 1970-01-01 00:00:00 UTC, and a
// signed difference of seconds. The calendar fields are read in local time.
#pragma once

#include "platform/win32api.h"
#include "framework/afxstr.h"

class CTimeSpan {
public:
    CTimeSpan() noexcept : m_span(0) {}
    CTimeSpan(__time64_t seconds) noexcept : m_span(seconds) {}
    CTimeSpan(LONG days, int hours, int minutes, int seconds) noexcept
        : m_span(((static_cast<__time64_t>(days) * 24 + hours) * 60 + minutes) * 60 + seconds) {}

    __time64_t GetTimeSpan() const noexcept { return m_span; }

    CTimeSpan operator+(CTimeSpan other) const noexcept { return CTimeSpan(m_span + other.m_span); }
    CTimeSpan operator-(CTimeSpan other) const noexcept { return CTimeSpan(m_span - other.m_span); }
    CTimeSpan& operator+=(CTimeSpan other) noexcept { m_span += other.m_span; return *this; }
    CTimeSpan& operator-=(CTimeSpan other) noexcept { m_span -= other.m_span; return *this; }
    bool operator==(CTimeSpan other) const noexcept { return m_span == other.m_span; }
    bool operator!=(CTimeSpan other) const noexcept { return m_span != other.m_span; }
    bool operator<(CTimeSpan other) const noexcept { return m_span < other.m_span; }
    bool operator>(CTimeSpan other) const noexcept { return m_span > other.m_span; }
    bool operator<=(CTimeSpan other) const noexcept { return m_span <= other.m_span; }
    bool operator>=(CTimeSpan other) const noexcept { return m_span >= other.m_span; }

private:
    __time64_t m_span;
};

class CTime {
public:
    CTime() noexcept : m_time(0) {}
    CTime(__time64_t time) noexcept : m_time(time) {}
    // Local time through the C runtime's mktime; dst -1 lets the runtime decide whether daylight
    // saving applies. Fields out of range carry over (month 13 is January of the next year). When
    // mktime cannot represent the moment the time is -1.
    CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1) noexcept;

    __time64_t GetTime() const noexcept { return m_time; }
    // Fill *tm with the calendar fields in local time and return it, or nullptr when the runtime
    // cannot convert the time.
    struct tm* GetLocalTm(struct tm* tm) const noexcept;
    // strftime of the local fields; empty when the time cannot be converted.
    CString Format(const char* format) const;

    CTimeSpan operator-(CTime other) const noexcept { return CTimeSpan(m_time - other.m_time); }
    CTime operator+(CTimeSpan span) const noexcept { return CTime(m_time + span.GetTimeSpan()); }
    CTime operator-(CTimeSpan span) const noexcept { return CTime(m_time - span.GetTimeSpan()); }
    CTime& operator+=(CTimeSpan span) noexcept { m_time += span.GetTimeSpan(); return *this; }
    CTime& operator-=(CTimeSpan span) noexcept { m_time -= span.GetTimeSpan(); return *this; }
    bool operator==(CTime other) const noexcept { return m_time == other.m_time; }
    bool operator!=(CTime other) const noexcept { return m_time != other.m_time; }
    bool operator<(CTime other) const noexcept { return m_time < other.m_time; }
    bool operator>(CTime other) const noexcept { return m_time > other.m_time; }
    bool operator<=(CTime other) const noexcept { return m_time <= other.m_time; }
    bool operator>=(CTime other) const noexcept { return m_time >= other.m_time; }

private:
    __time64_t m_time;
};
