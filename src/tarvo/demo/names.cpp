#include "tarvo/demo/names.hpp"

#include <array>
#include <vector>

namespace tarvo::demo {

namespace {

constexpr Region kRegions[] = {
    {11, "İstanbul Avrupa Bölge", 22},
    {12, "İstanbul Anadolu Bölge", 18},
    {21, "Ankara Bölge", 14},
    {31, "İzmir Bölge", 12},
    {41, "Bursa ve Marmara Bölge", 12},
    {51, "Akdeniz Bölge", 9},
    {61, "Karadeniz Bölge", 6},
    {71, "Güneydoğu ve Doğu Anadolu Bölge", 7},
};

constexpr std::array<std::array<std::string_view, 8>, 8> kBranchNames = {{
    {"Şişli", "Beşiktaş", "Bakırköy", "Beylikdüzü", "Mecidiyeköy", "Levent", "Güneşli", "Esenyurt"},
    {"Kadıköy", "Üsküdar", "Ümraniye", "Kartal", "Pendik", "Ataşehir", "Tuzla", "Kozyatağı"},
    {"Kızılay", "Çankaya", "Ostim", "Sincan", "Etimesgut", "Keçiören", "Gölbaşı", "Eskişehir"},
    {"Konak", "Alsancak", "Karşıyaka", "Bornova", "Çiğli", "Torbalı", "Manisa", "Aydın"},
    {"Nilüfer", "Osmangazi", "İnegöl", "Gebze", "İzmit", "Sakarya", "Çorlu", "Balıkesir"},
    {"Muratpaşa", "Alanya", "Mersin", "Seyhan", "Tarsus", "İskenderun", "Hatay", "Isparta"},
    {"Samsun", "Trabzon", "Ordu", "Rize", "Giresun", "Zonguldak", "Çorum", "Düzce"},
    {"Şehitkamil", "Şanlıurfa", "Diyarbakır", "Kahramanmaraş", "Malatya", "Erzurum", "Van", "Elazığ"},
}};

const std::vector<Branch>& branch_table() {
    static const std::vector<Branch> table = [] {
        std::vector<Branch> out;
        for (size_t r = 0; r < kBranchNames.size(); ++r)
            for (size_t j = 0; j < kBranchNames[r].size(); ++j)
                out.push_back({kRegions[r].kodu * 100 + static_cast<int64_t>(j) + 1, kBranchNames[r][j],
                               static_cast<int>(r)});
        return out;
    }();
    return table;
}

constexpr std::string_view kSurnames[] = {
    "Yılmaz",   "Kaya",      "Demir",    "Şahin",    "Çelik",    "Yıldız",   "Yıldırım", "Öztürk",
    "Aydın",    "Özdemir",   "Arslan",   "Doğan",    "Kılıç",    "Aslan",    "Çetin",    "Karakaya",
    "Koç",      "Kurt",      "Özkan",    "Şimşek",   "Polat",    "Özer",     "Güneş",    "Erdoğan",
    "Aktaş",    "Karaca",    "Tekin",    "Bulut",    "Uçar",     "Gökçe",    "Ağaoğlu",  "Işıkçı",
    "Ertuğrul", "Çağlayan",  "Gündoğdu", "Sarıkaya", "Öğüt",     "Baştürk",  "Akgül",    "Ünal",
    "Küçükler", "Büyükşen",  "Dönmez",   "Çakır",    "Söğüt",    "Türkmen",  "Özgür",    "İnce",
};

constexpr std::string_view kPlaces[] = {
    "Anadolu",  "Ege",      "Marmara",   "Karadeniz", "Akdeniz", "Toros",  "Boğaziçi", "Kapadokya",
    "Uludağ",   "Fırat",    "Dicle",     "Çukurova",  "Trakya",  "Erciyes", "Palandöken", "Göksu",
};

constexpr std::string_view kSectors[] = {
    "İnşaat",       "Tekstil",      "Gıda",          "Otomotiv",      "Lojistik",     "Mobilya",
    "Kimya",        "Tarım Ürünleri", "Enerji",      "Makine",        "Ambalaj",      "Turizm",
    "Elektrik",     "Madencilik",   "Plastik",       "Yazılım",       "Demir Çelik",  "Medikal",
    "Kağıt",        "Cam",          "Seramik",       "Petrol Ürünleri", "Su Ürünleri", "Hazır Giyim",
    "Deri",         "Mermer",       "Un ve Yem",     "Süt Ürünleri",  "Elektronik",   "Dış Ticaret",
};

constexpr std::string_view kCorporateForms[] = {
    "Sanayi ve Ticaret A.Ş.", "San. ve Tic. A.Ş.", "Holding A.Ş.", "Dış Ticaret A.Ş.", "Yatırım A.Ş.",
};
constexpr std::string_view kSmeForms[] = {
    "San. Tic. Ltd. Şti.", "Ticaret Ltd. Şti.", "Pazarlama Ltd. Şti.", "Sanayi A.Ş.", "İthalat İhracat Ltd. Şti.",
};
constexpr std::string_view kFirstNames[] = {
    "Ayşe", "Mehmet", "Fatma", "Hüseyin", "Zeynep", "Mustafa", "Emine", "İbrahim", "Şükrü", "Gülşen",
    "Çağrı", "Özlem", "Ümit", "Büşra", "İsmail", "Şerife", "Oğuz", "Gökhan", "Hülya", "Ertuğrul",
};
constexpr std::string_view kTrades[] = {
    "Kırtasiye", "Oto Tamir", "Market", "Kuaförlük", "Fırın", "Nakliyat", "Yapı Malzemeleri", "Kuru Temizleme",
    "Büfe", "Züccaciye", "Tuhafiye", "Oto Yedek Parça", "Mobilya Atölyesi", "Çiçekçilik",
};
constexpr std::string_view kMiddles[] = {"", "", "", "Kardeşler ", "ve Ortakları ", "Grup "};

constexpr std::string_view kManagers[] = {
    "Ayşe Yılmaz",   "Mehmet Öztürk", "Zeynep Çelik",  "Emre Şahin",    "Elif Doğan",   "Burak Kılıç",
    "Gökhan Aydın",  "Selin Arslan",  "Oğuz Koç",      "Derya Güneş",   "Çağrı Erdoğan", "Büşra Yıldız",
    "İlker Kaya",    "Gülşen Aksoy",  "Hakan Özkan",   "Şule Korkmaz",  "Tuğba Çetin",  "Ümit Polat",
    "Işıl Kurt",     "Ferhat Özdemir", "Nur Şimşek",   "Barış Ünal",    "Özge Tekin",   "Serkan Bulut",
};

constexpr std::string_view kFinancing[] = {
    "İşletme Sermayesi", "Yatırım Finansmanı", "Dış Ticaret Finansmanı", "Proje Finansmanı",
    "Taşıt ve Ekipman",  "Gayrimenkul",        "Tarımsal Finansman",     "Gayrinakdi Teminat",
};

template <class T, size_t N>
const T& pick_of(const T (&list)[N], uint64_t pick) {
    return list[pick % N];
}

}  // namespace

std::span<const Region> regions() { return kRegions; }
std::span<const Branch> branches() { return branch_table(); }

std::string firm_name(int segment, uint64_t pick) {
    const uint64_t a = pick, b = pick >> 8, c = pick >> 16, d = pick >> 24, e = pick >> 32;
    std::string name;
    if (segment == 2 && (e % 3) != 0) {  // micro businesses mostly carry their owner's name
        name = std::string(pick_of(kFirstNames, a)) + " " + std::string(pick_of(kSurnames, b)) + " " +
               std::string(pick_of(kTrades, c));
        return name;
    }
    const bool place = (e % 4) == 0;
    name = std::string(place ? pick_of(kPlaces, a) : pick_of(kSurnames, a)) + " ";
    name += pick_of(kMiddles, d);
    name += std::string(pick_of(kSectors, b)) + " ";
    const bool corporate = segment == 0 || segment == 3;
    name += corporate ? pick_of(kCorporateForms, c) : pick_of(kSmeForms, c);
    return name;
}

std::string renamed(const std::string& name) {
    static constexpr std::pair<std::string_view, std::string_view> kChanges[] = {
        {"Ltd. Şti.", "A.Ş."}, {"San. ve Tic. A.Ş.", "Sanayi ve Ticaret A.Ş."}, {"A.Ş.", "Holding A.Ş."}};
    for (const auto& [from, to] : kChanges) {
        if (name.size() >= from.size() && name.compare(name.size() - from.size(), from.size(), from) == 0)
            return name.substr(0, name.size() - from.size()) + std::string(to);
    }
    return name + " Ltd. Şti.";
}

std::string group_name(uint64_t pick) { return std::string(pick_of(kSurnames, pick)) + " Grubu"; }

std::string_view portfolio_manager(uint64_t pick) { return pick_of(kManagers, pick); }
std::string_view financing_subject(uint64_t pick) { return pick_of(kFinancing, pick); }

}  // namespace tarvo::demo
