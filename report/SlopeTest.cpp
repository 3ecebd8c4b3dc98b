#include "SlopeTest.h"

#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <cstdio>

#include "ReportTables.h"
#include "Statistics.h"
#include "WithinSubjectInterval.h"

namespace {

constexpr int kDecimals = 4;

std::string PValue(std::optional<double> p) {
    if (!p) {
        return std::string();
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", *p);
    return text;
}

std::string Padded(const std::string& text, int width) {
    const std::string shown = text.empty() ? std::string("-") : text;
    return std::string(shown.size() < static_cast<std::size_t>(width) ? width - shown.size() : 0,
                       ' ') +
           shown;
}

}  // namespace

SlopeTest TestSlopesAgainstZero(const std::string& name, const std::vector<double>& slopes) {
    SlopeTest test;
    test.name = name;
    const Descriptives d = Describe(slopes);
    test.n = d.n;
    test.mean = d.mean;
    test.sd = d.sd;
    test.se = d.se;
    if (d.n < 2) {
        return test;
    }
    test.df = d.n - 1;
    const double half = StudentT975(test.df) * *d.se;
    test.ciLow = *d.mean - half;
    test.ciHigh = *d.mean + half;
    if (*d.sd > 0.0) {
        test.t = *d.mean / *d.se;
        test.dz = *d.mean / *d.sd;
        const boost::math::students_t distribution(test.df);
        test.p = 2.0 * boost::math::cdf(boost::math::complement(distribution, std::fabs(*test.t)));
    }
    return test;
}

std::string FormatSlopeTestsCsv(const std::vector<SlopeTest>& tests) {
    std::string csv = "test,n,mean_slope,sd,se,t,df,p,ci95_low,ci95_high,dz\n";
    for (const SlopeTest& t : tests) {
        csv += t.name + "," + std::to_string(t.n) + "," + FormatFixed(t.mean, kDecimals) + "," +
               FormatFixed(t.sd, kDecimals) + "," + FormatFixed(t.se, kDecimals) + "," +
               FormatFixed(t.t, kDecimals) + "," + (t.n >= 2 ? std::to_string(t.df) : "") + "," +
               PValue(t.p) + "," + FormatFixed(t.ciLow, kDecimals) + "," +
               FormatFixed(t.ciHigh, kDecimals) + "," + FormatFixed(t.dz, kDecimals) + "\n";
    }
    return csv;
}

std::string FormatSlopeTestsText(const std::vector<SlopeTest>& tests) {
    std::string text =
        "  slope against 0, one-sample t-test (two-sided) of participant slopes (ms/deg):\n"
        "  test     N      mean        SD        SE         t  df          p   95% CI of the "
        "mean       d_z\n";
    for (const SlopeTest& t : tests) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-5s %4d %9s %9s %9s %9s %3s %10s %9s %9s %9s\n",
                      t.name.c_str(), t.n, Padded(FormatFixed(t.mean, kDecimals), 9).c_str(),
                      Padded(FormatFixed(t.sd, kDecimals), 9).c_str(),
                      Padded(FormatFixed(t.se, kDecimals), 9).c_str(),
                      Padded(FormatFixed(t.t, kDecimals), 9).c_str(),
                      Padded(t.n >= 2 ? std::to_string(t.df) : "", 3).c_str(),
                      Padded(PValue(t.p), 10).c_str(),
                      Padded(FormatFixed(t.ciLow, kDecimals), 9).c_str(),
                      Padded(FormatFixed(t.ciHigh, kDecimals), 9).c_str(),
                      Padded(FormatFixed(t.dz, kDecimals), 9).c_str());
        text += line;
    }
    return text;
}
