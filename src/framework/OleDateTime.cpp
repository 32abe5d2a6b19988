#include "framework/OleDateTime.h"

#include <cmath>
#include <cwchar>

namespace {

constexpr double kMinDate = -657434.0;          // 1 January 100
constexpr double kMaxDate = 2958465.99999999;   // 31 December 9999, just before midnight
// Days from 1 January 1970 (the civil-day epoch used below) back to 30 December 1899.
constexpr long kZeroDateCivil = -25569;

const wchar_t* const kDayNames[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday",
                                    L"Thursday", L"Friday", L"Saturday"};
const wchar_t* const kMonthNames[] = {L"January", L"February", L"March",     L"April",
                                      L"May",     L"June",     L"July",      L"August",
                                      L"September", L"October", L"November", L"December"};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

void AppendNumber(CString& out, int value, int width) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"%0*d", width, value);
    out += buf;
}

}  // namespace

COleDateTime::COleDateTime(double days) : m_dt(days) {
    if (!(days >= kMinDate && days <= kMaxDate)) m_status = invalid;
}

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (SetDateTime(year, month, day, hour, minute, second) != 0) m_dt = 0.0;
}

COleDateTime COleDateTime::GetCurrentTime() {
    SYSTEMTIME st = {};
    ::GetLocalTime(&st);
    return COleDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59) {
        m_status = invalid;
        return 1;
    }
    const double days = static_cast<double>(DaysFromCivil(year, month, day) - kZeroDateCivil);
    const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
    // Before the zero date the fraction counts forward from midnight, away from zero.
    m_dt = days < 0 ? days - time : days + time;
    m_status = valid;
    return 0;
}

bool COleDateTime::ToFields(Fields& f) const {
    if (m_status != valid || !(m_dt >= kMinDate && m_dt <= kMaxDate)) return false;
    double whole = std::trunc(m_dt);
    double fraction = std::fabs(m_dt - whole);
    // Round to the second, carrying into the next calendar day at midnight (the
    // fraction always counts forward, also before the zero date).
    long seconds = std::lround(fraction * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += 1;
    }
    const long civil = static_cast<long>(whole) + kZeroDateCivil;
    CivilFromDays(civil, f.year, f.month, f.day);
    f.hour = static_cast<int>(seconds / 3600);
    f.minute = static_cast<int>(seconds / 60 % 60);
    f.second = static_cast<int>(seconds % 60);
    // 1 January 1970 was a Thursday (4, counting Sunday as 0).
    f.dayOfWeek = static_cast<int>(((civil % 7) + 7 + 4) % 7);
    f.dayOfYear = static_cast<int>(civil - DaysFromCivil(f.year, 1, 1)) + 1;
    return true;
}

int COleDateTime::GetYear() const { Fields f; return ToFields(f) ? f.year : -1; }
int COleDateTime::GetMonth() const { Fields f; return ToFields(f) ? f.month : -1; }
int COleDateTime::GetDay() const { Fields f; return ToFields(f) ? f.day : -1; }
int COleDateTime::GetHour() const { Fields f; return ToFields(f) ? f.hour : -1; }
int COleDateTime::GetMinute() const { Fields f; return ToFields(f) ? f.minute : -1; }
int COleDateTime::GetSecond() const { Fields f; return ToFields(f) ? f.second : -1; }
int COleDateTime::GetDayOfWeek() const { Fields f; return ToFields(f) ? f.dayOfWeek + 1 : -1; }
int COleDateTime::GetDayOfYear() const { Fields f; return ToFields(f) ? f.dayOfYear : -1; }

CString COleDateTime::Format(const wchar_t* format) const {
    Fields f;
    if (!format || !ToFields(f)) return CString();
    CString out;
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%' || p[1] == L'\0') {
            out += *p;
            continue;
        }
        ++p;
        switch (*p) {
        case L'Y': AppendNumber(out, f.year, 4); break;
        case L'y': AppendNumber(out, f.year % 100, 2); break;
        case L'm': AppendNumber(out, f.month, 2); break;
        case L'd': AppendNumber(out, f.day, 2); break;
        case L'H': AppendNumber(out, f.hour, 2); break;
        case L'M': AppendNumber(out, f.minute, 2); break;
        case L'S': AppendNumber(out, f.second, 2); break;
        case L'j': AppendNumber(out, f.dayOfYear, 3); break;
        case L'w': AppendNumber(out, f.dayOfWeek, 1); break;
        case L'p': out += f.hour < 12 ? L"AM" : L"PM"; break;
        case L'a': out.Append(kDayNames[f.dayOfWeek], 3); break;
        case L'A': out += kDayNames[f.dayOfWeek]; break;
        case L'b': out.Append(kMonthNames[f.month - 1], 3); break;
        case L'B': out += kMonthNames[f.month - 1]; break;
        case L'%': out += L'%'; break;
        default:
            out += L'%';
            out += *p;
            break;
        }
    }
    return out;
}
