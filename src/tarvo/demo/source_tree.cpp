#include "tarvo/demo/source_tree.hpp"


#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/codepage.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/demo/firm_model.hpp"
#include "tarvo/demo/names.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::demo {

namespace {

constexpr const char* kSourceDirs[] = {
    "kik_data_ham_csv", "kredi_db",       "yis_tahmin_data", "eus_tahmin_data",  "eus_hedef_muta",
    "eus_sql_kapsam_muta", "statik_db",   "yis_train_data",  "rkd_donem_data",   "memzuc_data_donem",
};

void write_bytes(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) throw core::OSError("cannot write " + file.string());
}


void put_int(std::string& s, int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, r.ptr);
}

// Fixed-point text with `decimals` digits after the separator `point`.
void put_fixed(std::string& s, double v, int decimals, char point = '.') {
    char buf[48];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string_view text(buf, static_cast<size_t>(r.ptr - buf));
    if (point != '.') {
        for (char c : text) s += c == '.' ? point : c;
    } else {
        s.append(text);
    }
}

// Turkish amount: "1.234.567,89".
void put_amount_tr(std::string& s, double v) {
    const int64_t cents = std::llround(v * 100);
    const int64_t whole = cents / 100, frac = cents % 100;
    std::string digits = std::to_string(whole);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) s += '.';
        s += digits[i];
    }
    s += ',';
    s += static_cast<char>('0' + frac / 10);
    s += static_cast<char>('0' + frac % 10);
}

void put_padded_muta(std::string& s, int64_t muta) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%010lld", static_cast<long long>(muta));
    s += buf;
}

std::string sql_text(const fs::path& p) {
    std::string out = "'";
    for (char c : p.string()) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

void write_parquet(vandel::Vandel& mem, const core::Table& t, const fs::path& file) {
    mem.run_with_out(t, "COPY out TO " + sql_text(file) + " (FORMAT parquet)");
}

class TreeWriter {
public:
    TreeWriter(const fs::path& root, const Population& pop, const BeforeWrite& before_write)
        : root_(root), pop_(pop), mem_(":memory:"), before_write_(before_write) {}

    void write_period(int t) {
        const size_t n = pop_.firms().size();
        states_.resize(n);
        for (size_t f = 0; f < n; ++f) states_[f] = pop_.state(f, t);
        write_monitoring_list(t);
        write_credit_risk(t);
        write_scores(t);
        write_lists(t);
        write_rating_criteria(t);
        write_bureau(t);
    }

    void write_static() {
        std::string text =
            "MUSTERI_NO;BOLGE;BOLGE_ADI;SUBE_KODU;SUBE_ADI;MUSTERI_TIPI;RISK_GRUP_KODU;RISK_GRUP_TANIMI;"
            "FIRMA_OTORIZE_KODU;AKSIYON_SAHIBI;KRI_BOLUM\r\n";
        const auto all_branches = branches();
        const auto all_regions = regions();
        for (const Firm& firm : pop_.firms()) {
            const Branch& b = all_branches[static_cast<size_t>(firm.branch)];
            const Region& r = all_regions[static_cast<size_t>(b.region)];
            put_padded_muta(text, firm.muta);
            text += ';';
            put_int(text, r.kodu);
            text += ",0;";
            text += r.adi;
            text += ';';
            put_int(text, b.kodu);
            text += ';';
            text += b.adi;
            text += ';';
            text += (firm.segment == 2 && (firm.traits & 1)) ? "G" : "T";
            text += ';';
            if (firm.group >= 0) {
                char code[16];
                std::snprintf(code, sizeof code, "RG%05d", firm.group);
                text += code;
                text += ';';
                text += group_name(static_cast<uint64_t>(firm.group) * 7919u);
            } else {
                text += ';';
            }
            text += ';';
            text += firm.risk < 5e6    ? "Şube"
                    : firm.risk < 50e6 ? "Bölge Kredi Komitesi"
                    : firm.risk < 250e6 ? "Genel Müdürlük Kredi Komitesi"
                                        : "Yönetim Kurulu";
            text += ';';
            text += portfolio_manager(static_cast<uint64_t>(firm.branch) * 3 + (firm.traits >> 3) % 3);
            text += ';';
            text += financing_subject(firm.traits >> 8);
            text += "\r\n";
        }
        const int last = pop_.periods() - 1;
        char name[64];
        std::snprintf(name, sizeof name, "statik_bilgiler_%04d%02d01.txt", pop_.year(last), pop_.month(last));
        put_bytes(dir("statik_db") / name, core::encode_cp1254(text));
    }

    void write_training() {
        const int t = pop_.periods() - 1;
        const size_t n = pop_.firms().size();
        std::vector<std::optional<std::string>> muta;
        std::vector<std::optional<int64_t>> seg[4], overdue;
        std::vector<std::optional<double>> risk_log, score_avg;
        muta.reserve(n);
        for (size_t f = 0; f < n; ++f) {
            const Firm& firm = pop_.firms()[f];
            muta.emplace_back(std::to_string(firm.muta));
            // Indicator columns in file order: ESKK, KOBI, KUR-TIC, MIKRO.
            static constexpr int kColumnOfSegment[] = {2, 1, 3, 0};
            for (int c = 0; c < 4; ++c) seg[c].emplace_back(kColumnOfSegment[firm.segment] == c ? 1 : 0);
            const FirmPeriod p = pop_.state(f, std::min(t, firm.last));
            risk_log.emplace_back(std::round(std::log10(1 + p.kik_risk + p.kredi_risk) * 1e4) / 1e4);
            double sum = 0;
            int count = 0;
            for (int k = std::max(firm.first, t - 2); k <= std::min(t, firm.last); ++k, ++count)
                sum += pop_.state(f, k).score;
            score_avg.emplace_back(count ? std::optional<double>(std::round(sum / count * 100) / 100) : std::nullopt);
            overdue.emplace_back(pop_.overdue_days(f, std::min(t, firm.last), p));
        }
        core::Table table;
        table.set("MUTA", core::Column::of_str(std::move(muta)));
        static constexpr const char* kIndicators[] = {"Sgmnt_Kod_ESKK", "Sgmnt_Kod_KOBI", "Sgmnt_Kod_KUR-TIC",
                                                      "Sgmnt_Kod_MIKRO"};
        for (int c = 0; c < 4; ++c) table.set(kIndicators[c], core::Column::of_i64(std::move(seg[c])));
        table.set("kik_risk_log", core::Column::of_f64(std::move(risk_log)));
        table.set("eus_skor_ort_3ay", core::Column::of_f64(std::move(score_avg)));
        table.set("gckm_gun_max_6ay", core::Column::of_i64(std::move(overdue)));
        put_parquet(table, dir("yis_train_data") / ("yis_21_v21_" + pop_.period_text(t) + ".parquet"));
    }

private:
    fs::path dir(const char* key) const { return root_ / key; }

    std::string yyyymm(int t) const {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d", pop_.year(t), pop_.month(t));
        return buf;
    }

    // Early-monitoring code cell: empty for most firms; for high scorers one code, or a list
    // literal of codes as some deliveries write it. Codes hold for three periods at a time.
    void put_monitoring_code(std::string& s, size_t f, int t, const FirmPeriod& p) const {
        if (!(p.yi || p.score >= 650)) return;
        const int block = t / 3;
        if (pop_.noise(f, block, kCode) >= 0.35) return;
        const uint64_t bits = pop_.bits(f, block, kCodeForm);
        const int first = 1 + static_cast<int>(bits % 6);
        if (pop_.noise(f, t, kMalformedCode) < 0.005) {  // a broken export: the list is cut off
            s += "['EI";
            put_int(s, first);
            s += '\'';
            return;
        }
        if ((bits >> 8) % 5 < 2) {
            const int second = 1 + static_cast<int>((first + (bits >> 16) % 5) % 6);
            s += "['EI";
            put_int(s, first);
            s += "', 'EI";
            put_int(s, second);
            s += "']";
        } else {
            s += "EI";
            put_int(s, first);
        }
    }

    void write_monitoring_list(int t) {
        static constexpr const char* kHeaders[] = {
            "Must No;Must Ad;Sube Kod;Ykn Izl Flag;Rtng Kod;Rating Tar;Risk Bky Tl;Gckm Gun Say;Erkn Izlm Kod;"
            "CISS_KRD_GECIKME;CISS_KARSILIKSIZ_CEK;Segment Ack",
            "Must No;Cari Hesap Adı;Sube Kod;Ykn Izl Flag;Rtng Kod;Rating Tar;Risk Bky Tl;Gckm_Gun_Say;"
            "Erkn_Izlm_Kod;CISS_KRD_GECIKME;CISS_KARSILIKSIZ_CEK;Segment Ack",
            "Must No;UNVAN;Sube Kod;Ykn Izl Flag;Rtng Kod;Rating Tar;Risk Bky Tl;Gckm Gun Say;Erkn Izlm Kod;"
            "Ciss_Krd_Gecikme;Ciss_Karsiliksiz_Cek;Segment Ack",
        };
        static constexpr const char* kSegmentLabels[] = {"Kurumsal/Ticari", "KOBİ", "Mikro", "Esnaf ve KOBİ"};
        std::string text = kHeaders[t % 3];
        text += "\r\n";
        text.reserve(pop_.firms().size() * 160);
        const auto all_branches = branches();
        for (size_t f = 0; f < states_.size(); ++f) {
            const FirmPeriod& p = states_[f];
            if (!p.active || !p.on_kik) continue;
            const Firm& firm = pop_.firms()[f];
            put_padded_muta(text, firm.muta);
            text += ';';
            if (firm.rename_at >= 0 && t >= firm.rename_at)
                text += renamed(firm.name);
            else
                text += firm.name;
            text += ';';
            put_int(text, all_branches[static_cast<size_t>(firm.branch)].kodu);
            text += ';';
            text += (p.yi || p.score >= 700) ? 'E' : 'H';
            text += ';';
            if (p.yi) {
                text += 'D';
            } else {
                text += 'R';
                put_int(text, 1 + static_cast<int64_t>(p.score / 112));
            }
            text += ';';
            char date[32];
            const int back = static_cast<int>((firm.traits >> 12) % 6);
            const int months = pop_.year(t) * 12 + pop_.month(t) - 1 - back;
            std::snprintf(date, sizeof date, "%02d.%02d.%04d", 1 + static_cast<int>((firm.traits >> 20) % 28),
                          months % 12 + 1, months / 12);
            text += date;
            text += ';';
            put_amount_tr(text, p.kik_risk);
            text += ';';
            put_int(text, pop_.overdue_days(f, t, p));
            text += ';';
            put_monitoring_code(text, f, t, p);
            text += pop_.ciss(f, t, 0, p) ? ";1" : ";0";
            text += pop_.ciss(f, t, 1, p) ? ";1;" : ";0;";
            text += kSegmentLabels[firm.segment];
            text += "\r\n";
        }
        put_bytes(dir("kik_data_ham_csv") / ("Kurumsal_Izleme_Listesi_" + yyyymm(t) + "02.csv"), core::encode_cp1254(text));
    }

    void write_credit_risk(int t) {
        std::vector<std::optional<int64_t>> muta;
        std::vector<std::optional<double>> amount;
        std::vector<std::optional<std::string>> kind;
        for (size_t f = 0; f < states_.size(); ++f) {
            const FirmPeriod& p = states_[f];
            const Firm& firm = pop_.firms()[f];
            if (!p.active || !firm.has_credit) continue;
            if (firm.credit_lines == 2) {
                const double cash = std::round(p.kredi_risk * 0.6 * 100) / 100;
                muta.emplace_back(firm.muta);
                amount.emplace_back(cash);
                kind.emplace_back("Nakdi");
                muta.emplace_back(firm.muta);
                amount.emplace_back(std::round((p.kredi_risk - cash) * 100) / 100);
                kind.emplace_back("Gayrinakdi");
            } else {
                muta.emplace_back(firm.muta);
                amount.emplace_back(p.kredi_risk);
                kind.emplace_back("Nakdi");
            }
        }
        core::Table table;
        table.set("MUTA", core::Column::of_i64(std::move(muta)));
        table.set("Risk_Bky_Tl", core::Column::of_f64(std::move(amount)));
        table.set("Kredi_Turu", core::Column::of_str(std::move(kind)));
        put_parquet(table, dir("kredi_db") / ("kurumsal_risk_" + pop_.period_text(t) + ".parquet"));
    }

    void write_scores(int t) {
        std::string eus = "MUTA,EUS_SKOR,EUS_IHTIMAL\n";
        std::string yis = "MUTA,YIS_SKOR,YIS_IHTIMAL,label\n";
        for (size_t f = 0; f < states_.size(); ++f) {
            const FirmPeriod& p = states_[f];
            if (!p.active || p.yi) continue;  // firms under legal follow-up are not scored
            const Firm& firm = pop_.firms()[f];
            const bool missing = pop_.noise(f, t, kMissingScore) < 0.005;
            const double prob = 1 / (1 + std::exp(-(p.score - 600) / 90));
            put_int(eus, firm.muta);
            eus += ',';
            if (!missing) put_fixed(eus, p.score, 2);
            eus += ',';
            if (!missing) put_fixed(eus, prob, 4);
            eus += '\n';

            const double yis_score = std::clamp(std::round(p.score + 80 * (pop_.noise(f, t, kYisNoise) - 0.5)), 0.0, 1000.0);
            const bool soon_yi = firm.yi_from > t && firm.yi_from <= t + 3;
            put_int(yis, firm.muta);
            yis += ',';
            put_int(yis, static_cast<int64_t>(yis_score));
            yis += ',';
            put_fixed(yis, 1 / (1 + std::exp(-(yis_score - 620) / 80)), 4);
            yis += soon_yi ? ",1\n" : ",0\n";
        }
        char name[64];
        std::snprintf(name, sizeof name, "%04d_%02d_pred_n_scor.csv", pop_.year(t), pop_.month(t));
        put_bytes(dir("eus_tahmin_data") / name, eus);
        put_bytes(dir("yis_tahmin_data") / name, yis);
    }

    void write_lists(int t) {
        std::string hedef = "MUTA\n", kapsam = "MUTA\n";
        for (size_t f = 0; f < states_.size(); ++f) {
            const FirmPeriod& p = states_[f];
            if (!p.active) continue;
            const int64_t muta = pop_.firms()[f].muta;
            if (p.target) {
                put_int(hedef, muta);
                hedef += '\n';
            }
            if (p.covered) {
                put_int(kapsam, muta);
                kapsam += '\n';
            }
        }
        put_bytes(dir("eus_hedef_muta") / ("eus_hedef_MUTA_" + yyyymm(t) + ".csv"), hedef);
        put_bytes(dir("eus_sql_kapsam_muta") / ("eus_kapsam_MUTA_" + yyyymm(t) + ".csv"), kapsam);
    }

    void write_rating_criteria(int t) {
        // Day criteria count down to the criterion's next review date, 30 days a period.
        static constexpr const char* kDayColumns[] = {"TMNT_PIGD", "LMT_PSCD", "RVZ_PIGD"};
        static constexpr const char* kZeroColumns[] = {"KRS_CEK_A", "PRTS_ASGD", "ICRA_AIGD"};
        std::vector<std::optional<std::string>> muta, grade;
        std::vector<std::optional<int64_t>> days[3], zero[3];
        for (size_t f = 0; f < states_.size(); ++f) {
            const FirmPeriod& p = states_[f];
            if (!p.active) continue;
            const Firm& firm = pop_.firms()[f];
            muta.emplace_back(std::to_string(firm.muta));
            for (int c = 0; c < 3; ++c) {
                const uint64_t h = (firm.traits >> (c * 16)) & 0xFFFF;
                if (h % 100 < 8) {
                    days[c].emplace_back(std::nullopt);
                } else {
                    const int64_t base = static_cast<int64_t>(h % 360);
                    days[c].emplace_back(((base - 30 * t) % 360 + 360) % 360);
                }
                if (pop_.zero_check(f, t, c, p))
                    zero[c].emplace_back(1 + static_cast<int64_t>(pop_.bits(f, t, kZeroCheck) % 3));
                else
                    zero[c].emplace_back(pop_.noise(f, t, kZeroCheck + 10u + static_cast<uint32_t>(c)) < 0.05
                                             ? std::nullopt
                                             : std::optional<int64_t>(0));
            }
            std::string g = p.yi ? std::string("D") : std::string("R");
            if (!p.yi) put_int(g, 1 + static_cast<int64_t>(p.score / 112));
            grade.emplace_back(std::move(g));
        }
        core::Table table;
        table.set("MUTA", core::Column::of_str(std::move(muta)));
        for (int c = 0; c < 3; ++c) table.set(kDayColumns[c], core::Column::of_i64(std::move(days[c])));
        for (int c = 0; c < 3; ++c) table.set(kZeroColumns[c], core::Column::of_i64(std::move(zero[c])));
        table.set("RTG_NOT", core::Column::of_str(std::move(grade)));
        put_parquet(table, dir("rkd_donem_data") / ("rkd_data_" + pop_.period_text(t) + ".parquet"));
    }

    void write_bureau(int t) {
        std::vector<std::optional<int64_t>> muta;
        std::vector<std::optional<double>> takip, avg, cash;
        for (size_t f = 0; f < states_.size(); ++f) {
            const FirmPeriod& p = states_[f];
            if (!p.active) continue;
            const Firm& firm = pop_.firms()[f];
            muta.emplace_back(firm.muta);
            takip.emplace_back(p.takip);
            double sum = 0;
            if (p.yi) {  // six-month average of the amount under follow-up
                for (int k = std::max(0, t - 5); k <= t; ++k) sum += k == t ? p.takip : pop_.state(f, k).takip;
            }
            avg.emplace_back(std::round(sum / 6 * 100) / 100);
            cash.emplace_back(std::round((p.kik_risk + p.kredi_risk) * 1.1));
        }
        core::Table table;
        table.set("muta", core::Column::of_i64(std::move(muta)));
        table.set("IDARI_KANUNI_TAKIP_TUTAR", core::Column::of_f64(std::move(takip)));
        table.set("IKT_6AY_ORT_TUTAR", core::Column::of_f64(std::move(avg)));
        table.set("TOPLAM_NAKIT_RISK", core::Column::of_f64(std::move(cash)));
        put_parquet(table, dir("memzuc_data_donem") / ("memzuc_" + pop_.period_text(t) + ".parquet"));
    }

    // Every file is announced before it is written.
    void put_bytes(const fs::path& file, std::string_view bytes) {
        if (before_write_) before_write_(file);
        write_bytes(file, bytes);
    }
    void put_parquet(const core::Table& table, const fs::path& file) {
        if (before_write_) before_write_(file);
        write_parquet(mem_, table, file);
    }

    fs::path root_;
    const Population& pop_;
    vandel::Vandel mem_;
    const BeforeWrite& before_write_;
    std::vector<FirmPeriod> states_;
};

}  // namespace

void generate_source_tree(const fs::path& root, int64_t firms, int periods, uint64_t seed,
                          const BeforeWrite& before_write) {
    const Population pop(firms, periods, seed);
    for (const char* key : kSourceDirs) {
        std::error_code ec;
        fs::remove_all(root / key, ec);
        if (ec) throw core::OSError("cannot remove " + (root / key).string() + ": " + ec.message());
        core::make_dirs(root / key);
    }
    TreeWriter writer(root, pop, before_write);
    for (int t = 0; t < periods; ++t) writer.write_period(t);
    writer.write_static();
    writer.write_training();
}

}  // namespace tarvo::demo
