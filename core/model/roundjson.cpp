#include "core/model/roundjson.h"

#include "core/util/codepage.h"
#include "core/util/error.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <set>
#include <string>

namespace foresyn {

using Json = nlohmann::ordered_json;

// Friend of the model classes: JSON is the format's fields, not the model's
// operations, so it reads and stores the fields directly.
class TRoundJson {
public:
    static Json FromParticipant(const TParticipant& p);
    static std::unique_ptr<TParticipant> ToParticipant(const Json& j);

private:
    static Json FromProduct(const TProduct& p);
    static Json FromCurve(const TCurve& c);
    static std::unique_ptr<TProduct> ToProduct(const Json& j, const std::string& path);
    static std::unique_ptr<TCurve> ToCurve(const Json& j, const std::string& path);
};

namespace {

Json Number(double v) {
    if (std::isnan(v)) {
        return "NaN";
    }
    if (std::isinf(v)) {
        return v > 0 ? "Infinity" : "-Infinity";
    }
    return v;
}

Json Text(const QString& s) {
    return s.toStdString();
}

[[noreturn]] void Refuse(const std::string& path, const std::string& problem) {
    throw TError(QString::fromStdString(path + ": " + problem));
}

// Checks that the object has exactly the expected keys.
void ExpectKeys(const Json& j, const std::string& path, std::initializer_list<const char*> keys) {
    if (!j.is_object()) {
        Refuse(path, "expected an object");
    }
    std::set<std::string> wanted(keys.begin(), keys.end());
    for (const auto& [key, value] : j.items()) {
        if (!wanted.count(key)) {
            Refuse(path, "unknown key \"" + key + "\"");
        }
    }
    for (const char* key : keys) {
        if (!j.contains(key)) {
            Refuse(path, std::string("missing key \"") + key + "\"");
        }
    }
}

std::string Sub(const std::string& path, const char* key) {
    return path.empty() ? key : path + "." + key;
}

std::string Item(const std::string& path, std::size_t i) {
    return path + "[" + std::to_string(i) + "]";
}

double GetDouble(const Json& j, const std::string& path) {
    if (j.is_number()) {
        return j.get<double>();
    }
    if (j.is_string()) {
        const std::string s = j.get<std::string>();
        if (s == "NaN") {
            return std::numeric_limits<double>::quiet_NaN();
        }
        if (s == "Infinity") {
            return std::numeric_limits<double>::infinity();
        }
        if (s == "-Infinity") {
            return -std::numeric_limits<double>::infinity();
        }
    }
    Refuse(path, "expected a number, \"NaN\", \"Infinity\" or \"-Infinity\"");
}

template <class Int> Int GetInteger(const Json& j, const std::string& path) {
    if (j.is_number_integer()) {
        if (j.is_number_unsigned()) {
            const auto u = j.get<std::uint64_t>();
            if (u <= std::uint64_t(std::numeric_limits<Int>::max())) {
                return Int(u);
            }
        } else {
            const auto v = j.get<std::int64_t>();
            if (v >= std::numeric_limits<Int>::min() && v <= std::numeric_limits<Int>::max()) {
                return Int(v);
            }
        }
        Refuse(path, "integer out of range");
    }
    Refuse(path, "expected an integer");
}

bool GetBool(const Json& j, const std::string& path) {
    if (!j.is_boolean()) {
        Refuse(path, "expected true or false");
    }
    return j.get<bool>();
}

QString GetText(const Json& j, const std::string& path) {
    if (!j.is_string()) {
        Refuse(path, "expected a text");
    }
    const QString s = QString::fromStdString(j.get<std::string>());
    if (!IsWindows1252Encodable(s)) {
        Refuse(path, "text holds characters a round file cannot store (Windows-1252 only)");
    }
    return s;
}

const Json& GetArray(const Json& j, const std::string& path, std::size_t size) {
    if (!j.is_array()) {
        Refuse(path, "expected an array");
    }
    if (j.size() != size) {
        Refuse(path,
               "expected " + std::to_string(size) + " entries, found " + std::to_string(j.size()));
    }
    return j;
}

const Json& GetList(const Json& j, const std::string& path) {
    if (!j.is_array()) {
        Refuse(path, "expected an array");
    }
    return j;
}

int YearCount(std::int32_t first, std::int32_t last, const std::string& path) {
    const std::int64_t years = std::int64_t(last) - first + 1;
    if (years < 0 || years > kMaxYearSpan) {
        Refuse(path, "year range " + std::to_string(first) + ".." + std::to_string(last) +
                         " is impossible");
    }
    return int(years);
}

} // namespace

Json TRoundJson::FromCurve(const TCurve& c) {
    Json years = Json::array();
    for (int y = 0; y < c.years_; ++y) {
        Json effort = Json::array();
        for (int p = 0; p < kPointCount; ++p) {
            effort.push_back(Number(c.effort_[y][p]));
        }
        Json sales = Json::array();
        for (int row = 0; row < kRowCount; ++row) {
            Json points = Json::array();
            for (int p = 0; p < kPointCount; ++p) {
                points.push_back(Number(c.sales_[std::size_t(row) * c.years_ + y][p]));
            }
            sales.push_back(std::move(points));
        }
        years.push_back({{"BasePosition", c.basePosition_[y]},
                         {"Effort", std::move(effort)},
                         {"Sales", std::move(sales)}});
    }
    return {{"Name", Text(c.name_)},
            {"CurveId", c.curveId_},
            {"FirstYear", c.firstYear_},
            {"LastYear", c.lastYear_},
            {"Round", c.round_},
            {"Flag", c.flag_},
            {"EffortSuffix", Text(c.effortSuffix_)},
            {"EffortPrefix", Text(c.effortPrefix_)},
            {"EffortDecimals", c.effortDecimals_},
            {"SalesSuffix", Text(c.salesSuffix_)},
            {"SalesPrefix", Text(c.salesPrefix_)},
            {"SalesDecimals", c.salesDecimals_},
            {"Years", std::move(years)}};
}

Json TRoundJson::FromProduct(const TProduct& p) {
    Json curves = Json::array();
    for (int i = 0; i < p.Count(); ++i) {
        curves.push_back(FromCurve(p.Curve(i)));
    }
    Json years = Json::array();
    for (int y = 0; y < p.years_; ++y) {
        Json sales = Json::array();
        Json zeroZero = Json::array();
        Json maxMax = Json::array();
        for (int row = 0; row < kRowCount; ++row) {
            const std::size_t i = std::size_t(row) * p.years_ + y;
            sales.push_back(Number(p.sales_[i]));
            zeroZero.push_back(Number(p.zeroZero_[i]));
            maxMax.push_back(Number(p.maxMax_[i]));
        }
        years.push_back({{"MarketSales", Number(p.marketSales_[y])},
                         {"UnitPrice", Number(p.unitPrice_[y])},
                         {"Sales", std::move(sales)},
                         {"ZeroZero", std::move(zeroZero)},
                         {"MaxMax", std::move(maxMax)}});
    }
    Json nominations = Json::array();
    for (const QString& n : p.nominations_) {
        nominations.push_back(Text(n));
    }
    return {{"Version", Number(p.Version())},
            {"Curves", std::move(curves)},
            {"ProductId", Text(p.productId_)},
            {"Round", p.round_},
            {"FirstYear", p.firstYear_},
            {"LastYear", p.lastYear_},
            {"LaunchYear", p.launchYear_},
            {"ExpertRank", p.expertRank_},
            {"Nominations", std::move(nominations)},
            {"Name", Text(p.name_)},
            {"Years", std::move(years)}};
}

Json TRoundJson::FromParticipant(const TParticipant& p) {
    Json products = Json::array();
    for (int i = 0; i < p.Count(); ++i) {
        products.push_back(FromProduct(p.Product(i)));
    }
    Json roster = Json::array();
    for (const QString& entry : p.roster_) {
        roster.push_back(Text(entry));
    }
    return {{"Version", Number(p.Version())},
            {"Products", std::move(products)},
            {"Roster", std::move(roster)},
            {"FirstYear", p.firstYear_},
            {"LastYear", p.lastYear_},
            {"Name", Text(p.name_)},
            {"Email", Text(p.email_)},
            {"Company", Text(p.company_)},
            {"RosterId", Text(p.rosterId_)},
            {"SalesPrefix", Text(p.salesPrefix_)},
            {"SalesSuffix", Text(p.salesSuffix_)},
            {"Number", p.number_},
            {"Round", p.round_},
            {"SalesDecimals", p.salesDecimals_},
            {"Included", p.included_}};
}

std::unique_ptr<TCurve> TRoundJson::ToCurve(const Json& j, const std::string& path) {
    ExpectKeys(j, path,
               {"Name", "CurveId", "FirstYear", "LastYear", "Round", "Flag", "EffortSuffix",
                "EffortPrefix", "EffortDecimals", "SalesSuffix", "SalesPrefix", "SalesDecimals",
                "Years"});
    const auto first = GetInteger<std::int32_t>(j["FirstYear"], Sub(path, "FirstYear"));
    const auto last = GetInteger<std::int32_t>(j["LastYear"], Sub(path, "LastYear"));
    const int years = YearCount(first, last, Sub(path, "LastYear"));
    auto c = std::make_unique<TCurve>(first, last);
    c->name_ = GetText(j["Name"], Sub(path, "Name"));
    c->curveId_ = GetInteger<std::int64_t>(j["CurveId"], Sub(path, "CurveId"));
    c->round_ = GetInteger<std::int32_t>(j["Round"], Sub(path, "Round"));
    c->flag_ = GetBool(j["Flag"], Sub(path, "Flag"));
    c->effortSuffix_ = GetText(j["EffortSuffix"], Sub(path, "EffortSuffix"));
    c->effortPrefix_ = GetText(j["EffortPrefix"], Sub(path, "EffortPrefix"));
    c->effortDecimals_ = GetInteger<std::int32_t>(j["EffortDecimals"], Sub(path, "EffortDecimals"));
    c->salesSuffix_ = GetText(j["SalesSuffix"], Sub(path, "SalesSuffix"));
    c->salesPrefix_ = GetText(j["SalesPrefix"], Sub(path, "SalesPrefix"));
    c->salesDecimals_ = GetInteger<std::int32_t>(j["SalesDecimals"], Sub(path, "SalesDecimals"));
    const std::string yearsPath = Sub(path, "Years");
    const Json& ys = GetArray(j["Years"], yearsPath, std::size_t(years));
    for (std::size_t y = 0; y < ys.size(); ++y) {
        const std::string yp = Item(yearsPath, y);
        ExpectKeys(ys[y], yp, {"BasePosition", "Effort", "Sales"});
        const auto base = GetInteger<std::int32_t>(ys[y]["BasePosition"], Sub(yp, "BasePosition"));
        if (base < 0 || base >= kPointCount) {
            Refuse(Sub(yp, "BasePosition"), "must be 0..4");
        }
        c->basePosition_[y] = base;
        const Json& effort = GetArray(ys[y]["Effort"], Sub(yp, "Effort"), kPointCount);
        for (int p = 0; p < kPointCount; ++p) {
            c->effort_[y][p] = GetDouble(effort[p], Item(Sub(yp, "Effort"), p));
        }
        const Json& sales = GetArray(ys[y]["Sales"], Sub(yp, "Sales"), kRowCount);
        for (int row = 0; row < kRowCount; ++row) {
            const std::string rp = Item(Sub(yp, "Sales"), row);
            const Json& points = GetArray(sales[row], rp, kPointCount);
            for (int p = 0; p < kPointCount; ++p) {
                c->sales_[std::size_t(row) * years + y][p] = GetDouble(points[p], Item(rp, p));
            }
        }
    }
    return c;
}

std::unique_ptr<TProduct> TRoundJson::ToProduct(const Json& j, const std::string& path) {
    ExpectKeys(j, path,
               {"Version", "Curves", "ProductId", "Round", "FirstYear", "LastYear", "LaunchYear",
                "ExpertRank", "Nominations", "Name", "Years"});
    const auto first = GetInteger<std::int32_t>(j["FirstYear"], Sub(path, "FirstYear"));
    const auto last = GetInteger<std::int32_t>(j["LastYear"], Sub(path, "LastYear"));
    const int years = YearCount(first, last, Sub(path, "LastYear"));
    auto p = std::make_unique<TProduct>(first, last);
    p->SetVersion(GetDouble(j["Version"], Sub(path, "Version")));
    const std::string curvesPath = Sub(path, "Curves");
    const Json& curves = GetList(j["Curves"], curvesPath);
    for (std::size_t i = 0; i < curves.size(); ++i) {
        // Stored as given: the product's Add would flatten the curve.
        std::unique_ptr<TCurve> c = ToCurve(curves[i], Item(curvesPath, i));
        TCurve* raw = c.get();
        p->Items().push_back(std::move(c));
        raw->OnBasePlanChange = [q = p.get()](TCurve& cv, int y, double v) {
            q->BasePlanChanged(&cv, y, v);
        };
        raw->OnSalesChange = [q = p.get()](TCurve& cv, int y, double v) {
            q->CurveSalesChanged(cv, y, v);
        };
    }
    p->productId_ = GetText(j["ProductId"], Sub(path, "ProductId"));
    p->round_ = GetInteger<std::int32_t>(j["Round"], Sub(path, "Round"));
    p->launchYear_ = GetInteger<std::int32_t>(j["LaunchYear"], Sub(path, "LaunchYear"));
    p->expertRank_ = GetInteger<std::int32_t>(j["ExpertRank"], Sub(path, "ExpertRank"));
    const Json& nominations =
        GetArray(j["Nominations"], Sub(path, "Nominations"), TProduct::kNominationSlots);
    for (int i = 0; i < TProduct::kNominationSlots; ++i) {
        p->nominations_[std::size_t(i)] =
            GetText(nominations[i], Item(Sub(path, "Nominations"), std::size_t(i)));
    }
    p->name_ = GetText(j["Name"], Sub(path, "Name"));
    const std::string yearsPath = Sub(path, "Years");
    const Json& ys = GetArray(j["Years"], yearsPath, std::size_t(years));
    for (std::size_t y = 0; y < ys.size(); ++y) {
        const std::string yp = Item(yearsPath, y);
        ExpectKeys(ys[y], yp, {"MarketSales", "UnitPrice", "Sales", "ZeroZero", "MaxMax"});
        p->marketSales_[y] = GetDouble(ys[y]["MarketSales"], Sub(yp, "MarketSales"));
        p->unitPrice_[y] = GetDouble(ys[y]["UnitPrice"], Sub(yp, "UnitPrice"));
        const Json& sales = GetArray(ys[y]["Sales"], Sub(yp, "Sales"), kRowCount);
        const Json& zeroZero = GetArray(ys[y]["ZeroZero"], Sub(yp, "ZeroZero"), kRowCount);
        const Json& maxMax = GetArray(ys[y]["MaxMax"], Sub(yp, "MaxMax"), kRowCount);
        for (int row = 0; row < kRowCount; ++row) {
            const std::size_t i = std::size_t(row) * years + y;
            p->sales_[i] = GetDouble(sales[row], Item(Sub(yp, "Sales"), row));
            p->zeroZero_[i] = GetDouble(zeroZero[row], Item(Sub(yp, "ZeroZero"), row));
            p->maxMax_[i] = GetDouble(maxMax[row], Item(Sub(yp, "MaxMax"), row));
        }
    }
    return p;
}

std::unique_ptr<TParticipant> TRoundJson::ToParticipant(const Json& j) {
    ExpectKeys(j, "participant",
               {"Version", "Products", "Roster", "FirstYear", "LastYear", "Name", "Email",
                "Company", "RosterId", "SalesPrefix", "SalesSuffix", "Number", "Round",
                "SalesDecimals", "Included"});
    const auto first = GetInteger<std::int32_t>(j["FirstYear"], "FirstYear");
    const auto last = GetInteger<std::int32_t>(j["LastYear"], "LastYear");
    YearCount(first, last, "LastYear");
    auto p = std::make_unique<TParticipant>(first, last);
    p->SetVersion(GetDouble(j["Version"], "Version"));
    const Json& products = GetList(j["Products"], "Products");
    for (std::size_t i = 0; i < products.size(); ++i) {
        p->Items().push_back(ToProduct(products[i], Item("Products", i)));
    }
    const Json& roster = GetList(j["Roster"], "Roster");
    p->roster_.clear();
    for (std::size_t i = 0; i < roster.size(); ++i) {
        p->roster_.append(GetText(roster[i], Item("Roster", i)));
    }
    p->name_ = GetText(j["Name"], "Name");
    p->email_ = GetText(j["Email"], "Email");
    p->company_ = GetText(j["Company"], "Company");
    p->rosterId_ = GetText(j["RosterId"], "RosterId");
    p->salesPrefix_ = GetText(j["SalesPrefix"], "SalesPrefix");
    p->salesSuffix_ = GetText(j["SalesSuffix"], "SalesSuffix");
    p->number_ = GetInteger<std::int32_t>(j["Number"], "Number");
    p->round_ = GetInteger<std::int32_t>(j["Round"], "Round");
    p->salesDecimals_ = GetInteger<std::int32_t>(j["SalesDecimals"], "SalesDecimals");
    p->included_ = GetBool(j["Included"], "Included");
    return p;
}

QByteArray ParticipantToJson(const TParticipant& participant) {
    const std::string text = TRoundJson::FromParticipant(participant).dump(1, '\t');
    return QByteArray::fromStdString(text + "\n");
}

std::unique_ptr<TParticipant> ParticipantFromJson(QByteArrayView json) {
    Json j;
    try {
        j = Json::parse(json.begin(), json.end());
    } catch (const Json::parse_error& e) {
        throw TError(QStringLiteral("not valid JSON: %1").arg(QString::fromUtf8(e.what())));
    }
    return TRoundJson::ToParticipant(j);
}

} // namespace foresyn
