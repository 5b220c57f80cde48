#include "platform/system.h"

#include <cctype>

namespace zq::platform {
namespace {

struct LocaleId {
  const char* name;
  std::uint16_t lang_id;
};

// The first entry of each language is its main country, used for a language alone
// (the country the system picks for the neutral name, e.g. pt -> Brazil).
constexpr LocaleId kLocales[] = {
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0c09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409}, {"en_IE", 0x1809},
    {"en_ZA", 0x1c09}, {"en_IN", 0x4009}, {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0c07}, {"de_LU", 0x1007},
    {"de_LI", 0x1407}, {"fr_FR", 0x040c}, {"fr_BE", 0x080c}, {"fr_CA", 0x0c0c}, {"fr_CH", 0x100c}, {"fr_LU", 0x140c},
    {"es_ES", 0x0c0a}, {"es_MX", 0x080a}, {"es_CO", 0x240a}, {"es_AR", 0x2c0a}, {"es_CL", 0x340a}, {"es_US", 0x540a},
    {"it_IT", 0x0410}, {"it_CH", 0x0810}, {"nl_NL", 0x0413}, {"nl_BE", 0x0813}, {"pt_BR", 0x0416}, {"pt_PT", 0x0816},
    {"sv_SE", 0x041d}, {"sv_FI", 0x081d}, {"nb_NO", 0x0414}, {"no_NO", 0x0414}, {"nn_NO", 0x0814}, {"zh_CN", 0x0804},
    {"zh_TW", 0x0404}, {"zh_HK", 0x0c04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404}, {"ar_SA", 0x0401}, {"ar_EG", 0x0c01},
    {"ru_RU", 0x0419}, {"pl_PL", 0x0415}, {"cs_CZ", 0x0405}, {"da_DK", 0x0406}, {"fi_FI", 0x040b}, {"hu_HU", 0x040e},
    {"tr_TR", 0x041f}, {"el_GR", 0x0408}, {"ja_JP", 0x0411}, {"ko_KR", 0x0412}, {"uk_UA", 0x0422}, {"bg_BG", 0x0402},
    {"ca_ES", 0x0403}, {"he_IL", 0x040d}, {"is_IS", 0x040f}, {"ro_RO", 0x0418}, {"hr_HR", 0x041a}, {"sk_SK", 0x041b},
    {"sq_AL", 0x041c}, {"th_TH", 0x041e}, {"id_ID", 0x0421}, {"be_BY", 0x0423}, {"sl_SI", 0x0424}, {"et_EE", 0x0425},
    {"lv_LV", 0x0426}, {"lt_LT", 0x0427}, {"fa_IR", 0x0429}, {"vi_VN", 0x042a}, {"eu_ES", 0x042d}, {"mk_MK", 0x042f},
    {"af_ZA", 0x0436}, {"ka_GE", 0x0437}, {"hi_IN", 0x0439}, {"ms_MY", 0x043e}, {"kk_KZ", 0x043f}, {"cy_GB", 0x0452},
    {"gl_ES", 0x0456}, {"ga_IE", 0x083c},
};

constexpr std::uint16_t kFallback = 0x0409;

}  // namespace

std::uint16_t LangIdFromLocaleName(const std::string& locale) {
  // "ll_CC.codeset@modifier": only the language and the country count.
  std::string base = locale.substr(0, locale.find_first_of(".@"));
  auto sep = base.find_first_of("_-");
  std::string lang = base.substr(0, sep);
  std::string country = sep == std::string::npos ? "" : base.substr(sep + 1);
  for (char& c : lang) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : country) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (lang.empty()) return kFallback;

  const std::string full = lang + "_" + country;
  const LocaleId* first_of_language = nullptr;
  for (const auto& entry : kLocales) {
    const std::string name = entry.name;
    if (name == full) return entry.lang_id;
    if (first_of_language == nullptr && name.compare(0, lang.size() + 1, lang + "_") == 0) first_of_language = &entry;
  }
  // A country the table lacks still tells the language.
  return first_of_language != nullptr ? first_of_language->lang_id : kFallback;
}

}  // namespace zq::platform
