#pragma once
// COleDateTime: a calendar date and time held as a day count (a double) since midnight
// of 30 December 1899, with a validity status. The integral part counts days, the
// fraction is the time of day; for dates before the zero date the fraction still counts
// forward from midnight (-1.25 is 29 December 1899, 06:00). Years 100 to 9999.
#include <windows.h>

#include "framework/CString.h"

class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    // The zero date, valid.
    COleDateTime() = default;
    explicit COleDateTime(double days);
    // Invalid when a field is out of range.
    COleDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

    // The local date and time now.
    static COleDateTime GetCurrentTime();

    // Sets the fields; the status becomes invalid (and the value unchanged) when a field is
    // out of range. Returns 0 on success, 1 when invalid.
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);
    int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }
    double GetValue() const { return m_dt; }

    // Fields of a valid value in range; -1 otherwise.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const;   // 1 = Sunday ... 7 = Saturday
    int GetDayOfYear() const;   // 1 = 1 January

    // Formats in the manner of wcsftime. %Y is four digits (zero-padded), %m %d %H %M %S
    // two; %y %j %a %A %b %B %p %w and %% are understood too, other specifiers are
    // copied as they are. Empty when the value is not valid or out of range.
    CString Format(const wchar_t* format) const;

    bool operator==(const COleDateTime& other) const {
        return m_status == other.m_status && m_dt == other.m_dt;
    }
    bool operator!=(const COleDateTime& other) const { return !(*this == other); }

private:
    struct Fields {
        int year, month, day, hour, minute, second, dayOfWeek, dayOfYear;
    };
    bool ToFields(Fields& f) const;

    double m_dt = 0.0;
    DateTimeStatus m_status = valid;
};
