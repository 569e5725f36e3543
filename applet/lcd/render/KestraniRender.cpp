// kestrani-render: draws the LCD frame of a layout exactly as the applet
// composes it, from an INI file, its background picture and a snapshot of
// readings, and writes it as PNG or BMP, 1:1 and enlarged. Also writes the
// glyph sheet of the LCD fonts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "applet/lcd/Bmp.h"
#include "applet/lcd/Compose.h"
#include "applet/lcd/IniFile.h"
#include "applet/lcd/LCDFontSheet.h"
#include "applet/lcd/Layout.h"
#include "applet/lcd/PngWrite.h"
#include "applet/lcd/Stretch.h"

namespace {

const char kUsage[] =
    "usage: kestrani-render --ini FILE [options]\n"
    "       kestrani-render --glyphs FILE [--scale N]\n"
    "\n"
    "  --ini FILE          the layout (the applet's INI file)\n"
    "  --background FILE   the background picture (default: the INI's name with .bmp)\n"
    "  --readings FILE     a snapshot of readings: one 'key = value' a line, '#' comments\n"
    "  --set KEY=VALUE     one reading, as in the snapshot file (after it; repeatable)\n"
    "  --ini-set S/K=V     use V for key K of section S instead of the file's (repeatable)\n"
    "  --page N            the pop-up page 0..5 (same as the reading 'page')\n"
    "  --alarm             show the alarm pop-up when a temperature is over its threshold\n"
    "  --out FILE          the frame 1:1, PNG or BMP by the file's extension\n"
    "  --enlarged FILE     the frame enlarged, PNG or BMP\n"
    "  --scale N           enlargement by whole pixels (default 4)\n"
    "  --size WxH          enlargement to WxH with the preview window's bilinear stretch\n"
    "  --glyphs FILE       the glyph sheet of every font instead of a frame\n"
    "\n"
    "Readings (temperatures in degrees Celsius; lists are per processor or adapter):\n"
    "  processors N       temperature T0 T1 ..   load L0 L1 ..   frequency MHz\n"
    "  realclock MHz      busclock MHz           memory %        up B/s   down B/s\n"
    "  nvidia N           nv.temperature nv.coreclock nv.memclock nv.usage nv.vram\n"
    "                     nv.fanrpm nv.fanspeed (lists, one value per adapter)\n"
    "  ati N              ati.temperature ati.coreclock ati.memclock ati.usage ati.fanspeed\n"
    "  intel 0|1          the primary display adapter is an Intel one\n"
    "  date YYYY-MM-DD    time HH:MM:SS          page 0..5  alarm 0|1  ticks N\n"
    "  title TEXT         service TEXT           message TEXT\n"
    "  decimal C          dateseparator TEXT     timeseparator TEXT\n";

std::string Trim(const std::string& t) {
  const size_t b = t.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return t.substr(b, t.find_last_not_of(" \t\r\n") - b + 1);
}

std::string Lower(std::string t) {
  for (char& c : t)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return t;
}

// The readings by key; later settings of a key replace earlier ones.
using TReadings = std::map<std::string, std::string>;

// The INI file with some keys replaced from the command line, to try a
// setting without editing the file.
class TOverriddenIni : public TIniSource {
 public:
  explicit TOverriddenIni(const TIniSource& base) : base_(base) {}
  bool Add(const std::string& spec) {
    const size_t slash = spec.find('/'), eq = spec.find('=');
    if (slash == std::string::npos || eq == std::string::npos || eq < slash) return false;
    values_[Lower(Trim(spec.substr(0, slash))) + "/" + Lower(Trim(spec.substr(slash + 1, eq - slash - 1)))] =
        Trim(spec.substr(eq + 1));
    return true;
  }
  bool ReadKey(const std::string& section, const std::string& key, std::string& value) const override {
    auto it = values_.find(Lower(Trim(section)) + "/" + Lower(Trim(key)));
    if (it == values_.end()) return base_.ReadKey(section, key, value);
    value = it->second;
    return true;
  }

 private:
  const TIniSource& base_;
  std::map<std::string, std::string> values_;
};

bool AddReading(TReadings& r, const std::string& line, std::string& error) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == '#') return true;
  size_t sep = t.find('=');
  if (sep == std::string::npos) sep = t.find_first_of(" \t");
  if (sep == std::string::npos) {
    error = "no value: " + t;
    return false;
  }
  r[Lower(Trim(t.substr(0, sep)))] = Trim(t.substr(sep + 1));
  return true;
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

std::vector<double> Numbers(const TReadings& r, const char* key) {
  std::vector<double> out;
  auto it = r.find(key);
  if (it == r.end()) return out;
  std::string text = it->second;
  for (char& c : text)
    if (c == ',' || c == ';') c = ' ';
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    double v = 0;
    if (!ParseFraction(word, v)) {
      std::fprintf(stderr, "kestrani-render: '%s' of %s is no number, 0 used\n", word.c_str(), key);
      v = 0;
    }
    out.push_back(v);
  }
  return out;
}

double Number(const TReadings& r, const char* key, double fallback) {
  std::vector<double> v = Numbers(r, key);
  return v.empty() ? fallback : v[0];
}

std::string Text(const TReadings& r, const char* key, const char* fallback) {
  auto it = r.find(key);
  return it == r.end() ? fallback : it->second;
}

double At(const std::vector<double>& v, size_t i) { return i < v.size() ? v[i] : 0.0; }

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && Lower(s.substr(s.size() - n)) == suffix;
}

bool WritePicture(const std::string& path, const TRgb* px, int w, int h) {
  const std::vector<uint8_t> bytes = EndsWithNoCase(path, ".bmp") ? EncodeBmp24(px, w, h) : EncodePng(px, w, h);
  if (WriteBinaryFile(path, bytes)) return true;
  std::fprintf(stderr, "kestrani-render: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string iniPath, backgroundPath, outPath, enlargedPath, glyphsPath, error;
  int scale = 4, stretchW = 0, stretchH = 0;
  TReadings readings;
  std::vector<std::string> sets, iniSets;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&](std::string& v) {
      if (i + 1 >= argc) return false;
      v = argv[++i];
      return true;
    };
    std::string v;
    bool ok = true;
    if (a == "--ini") ok = next(iniPath);
    else if (a == "--background") ok = next(backgroundPath);
    else if (a == "--out") ok = next(outPath);
    else if (a == "--enlarged") ok = next(enlargedPath);
    else if (a == "--glyphs") ok = next(glyphsPath);
    else if (a == "--readings") {
      ok = next(v);
      std::string text;
      if (ok && !ReadFile(v, text)) {
        std::fprintf(stderr, "kestrani-render: cannot read %s\n", v.c_str());
        return 1;
      }
      std::istringstream lines(text);
      std::string line;
      while (ok && std::getline(lines, line))
        if (!AddReading(readings, line, error)) {
          std::fprintf(stderr, "kestrani-render: %s: %s\n", v.c_str(), error.c_str());
          return 2;
        }
    } else if (a == "--set") {
      ok = next(v);
      if (ok) sets.push_back(v);
    } else if (a == "--ini-set") {
      ok = next(v);
      if (ok) iniSets.push_back(v);
    } else if (a == "--page") {
      ok = next(v);
      if (ok) sets.push_back("page=" + v);
    } else if (a == "--alarm") {
      sets.push_back("alarm=1");
    } else if (a == "--scale") {
      ok = next(v);
      scale = std::atoi(v.c_str());
      ok = ok && scale >= 1 && scale <= 64;
    } else if (a == "--size") {
      ok = next(v) && std::sscanf(v.c_str(), "%dx%d", &stretchW, &stretchH) == 2 && stretchW >= 1 &&
           stretchH >= 1 && stretchW <= 8192 && stretchH <= 8192;
    } else if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "kestrani-render: bad or incomplete option %s\n\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  for (const std::string& s : sets)
    if (!AddReading(readings, s, error)) {
      std::fprintf(stderr, "kestrani-render: %s\n", error.c_str());
      return 2;
    }

  if (!glyphsPath.empty()) {
    const TRgbImage sheet = RenderGlyphSheet(scale);
    return WritePicture(glyphsPath, sheet.px.data(), sheet.width, sheet.height) ? 0 : 1;
  }
  if (iniPath.empty() || (outPath.empty() && enlargedPath.empty())) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  TIniFile ini;
  if (!ini.Load(iniPath)) {
    std::fprintf(stderr, "kestrani-render: cannot read %s\n", iniPath.c_str());
    return 1;
  }
  TOverriddenIni layoutIni(ini);
  for (const std::string& spec : iniSets)
    if (!layoutIni.Add(spec)) {
      std::fprintf(stderr, "kestrani-render: --ini-set wants Section/Key=Value, not %s\n", spec.c_str());
      return 2;
    }
  if (backgroundPath.empty()) {
    const size_t dot = iniPath.find_last_of('.');
    const size_t slash = iniPath.find_last_of("/\\");
    backgroundPath = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                         ? iniPath + ".bmp"
                         : iniPath.substr(0, dot) + ".bmp";
  }
  TBmpImage background;
  std::string bmpText;
  if (!ReadFile(backgroundPath, bmpText))
    std::fprintf(stderr, "kestrani-render: no background %s, white paper\n", backgroundPath.c_str());
  else if (!DecodeBmp(reinterpret_cast<const uint8_t*>(bmpText.data()), bmpText.size(), background))
    std::fprintf(stderr, "kestrani-render: %s is no picture the LCD can show, white paper\n",
                 backgroundPath.c_str());

  const std::vector<double> temps = Numbers(readings, "temperature");
  const std::vector<double> loads = Numbers(readings, "load");
  int processors = static_cast<int>(Number(readings, "processors", 0));
  if (processors <= 0) processors = static_cast<int>(std::max(temps.size(), loads.size()));
  if (processors <= 0) processors = 4;
  if (processors > 256) processors = 256;
  const int nvCount = std::min(16, std::max(0, static_cast<int>(Number(readings, "nvidia", 0))));
  const int atiCount = std::min(16, std::max(0, static_cast<int>(Number(readings, "ati", 0))));
  tAdapterKind kind = kAdapterNone;
  if (Number(readings, "intel", 0) != 0) kind = kAdapterIntel;
  if (atiCount > 0) kind = kAdapterAti;
  if (nvCount > 0) kind = kAdapterNvidia;

  tLcdLayout layout;
  tLcdSettings settings;
  ReadLayout(layoutIni, processors, kind, nvCount, atiCount, layout, settings);

  // Gathering, as the applet's tick does it.
  tCPUData& cpu = layout.CpuData;
  cpu.Frequency.Value = Number(readings, "frequency", 0);
  cpu.RealClock = Number(readings, "realclock", cpu.Frequency.Value);
  cpu.BusClock = Number(readings, "busclock", 0);
  for (int i = 0; i < processors; ++i) cpu.TemperatureItems[i].Value = ToDisplayUnit(At(temps, i), settings.Fahrenheit);
  std::vector<double> coreLoads(processors);
  for (int i = 0; i < processors; ++i) coreLoads[i] = At(loads, i);
  layout.MemoryItem.Value = Number(readings, "memory", 0);
  layout.UpStreamItem.Value = Number(readings, "up", 0);
  layout.DnStreamItem.Value = Number(readings, "down", 0);
  FinishGathering(layout, coreLoads.data(), coreLoads.size(), kind);

  std::vector<tNvReading> nv(nvCount);
  const char* nvKeys[] = {"nv.temperature", "nv.coreclock", "nv.memclock", "nv.usage", "nv.vram", "nv.fanrpm", "nv.fanspeed"};
  std::vector<double> nvLists[7];
  for (int k = 0; k < 7; ++k) nvLists[k] = Numbers(readings, nvKeys[k]);
  for (int a = 0; a < nvCount; ++a)
    nv[a] = {At(nvLists[0], a), At(nvLists[1], a), At(nvLists[2], a), At(nvLists[3], a),
             At(nvLists[4], a), At(nvLists[5], a), At(nvLists[6], a)};
  std::vector<tAtiReading> ati(atiCount);
  const char* atiKeys[] = {"ati.temperature", "ati.coreclock", "ati.memclock", "ati.usage", "ati.fanspeed"};
  std::vector<double> atiLists[5];
  for (int k = 0; k < 5; ++k) atiLists[k] = Numbers(readings, atiKeys[k]);
  for (int a = 0; a < atiCount; ++a)
    ati[a] = {At(atiLists[0], a), At(atiLists[1], a), At(atiLists[2], a), At(atiLists[3], a), At(atiLists[4], a)};

  TDateLocale locale = DefaultDateLocale();
  locale.dateSeparator = Text(readings, "dateseparator", locale.dateSeparator.c_str());
  locale.timeSeparator = Text(readings, "timeseparator", locale.timeSeparator.c_str());
  TDateTimeParts now{2026, 12, 31, 12, 30, 45, 0};
  const std::string date = Text(readings, "date", "");
  const std::string time = Text(readings, "time", "");
  if (!date.empty() && std::sscanf(date.c_str(), "%d-%d-%d", &now.year, &now.month, &now.day) != 3) {
    std::fprintf(stderr, "kestrani-render: date '%s' is not YYYY-MM-DD\n", date.c_str());
    return 2;
  }
  if (!time.empty() && std::sscanf(time.c_str(), "%d:%d:%d", &now.hour, &now.minute, &now.second) < 2) {
    std::fprintf(stderr, "kestrani-render: time '%s' is not HH:MM:SS\n", time.c_str());
    return 2;
  }
  if (now.month < 1 || now.month > 12 || now.day < 1 || now.day > 31 || now.hour < 0 || now.hour > 23 ||
      now.minute < 0 || now.minute > 59 || now.second < 0 || now.second > 59) {
    std::fprintf(stderr, "kestrani-render: date or time out of range\n");
    return 2;
  }

  const std::string title = Text(readings, "title", "Kestrani");
  const std::string service = Text(readings, "service", "Internal Service");
  const std::string message = Text(readings, "message", "");
  const std::string decimal = Text(readings, "decimal", ".");
  tComposeInput in;
  in.Background = &background;
  in.CoreLoads = coreLoads.data();
  in.CoreLoadCount = coreLoads.size();
  in.Nv = nv.data();
  in.NvCount = nv.size();
  in.Ati = ati.data();
  in.AtiCount = ati.size();
  in.Now = now;
  in.Locale = &locale;
  in.DecimalSeparator = decimal.empty() ? '.' : decimal[0];
  in.PageMode = static_cast<int32_t>(Number(readings, "page", 0));
  if (in.PageMode < 0 || in.PageMode > 5) {
    std::fprintf(stderr, "kestrani-render: page must be 0..5\n");
    return 2;
  }
  in.ProductTitle = title;
  in.ServiceText = service;
  in.MessageText = message;

  // Bars move halfway to their reading on every tick; after the given number
  // of ticks (default 12) they stand where a steady reading puts them. The
  // alarm pop-up shows in the last tick when asked for.
  const int ticks = std::max(1, std::min(1000, static_cast<int>(Number(readings, "ticks", 12))));
  const bool alarm = Number(readings, "alarm", 0) != 0;
  TLcdFrame frame;
  tRenderState state;
  for (int t = 0; t < ticks; ++t) {
    in.NextGather = 1000;
    in.TickNow = (alarm && t == ticks - 1) ? 750 : 0;
    ComposeFrame(frame, layout, settings, state, in);
  }

  bool ok = true;
  if (!outPath.empty()) ok = WritePicture(outPath, &frame.px[0][0], kLcdWidth, kLcdHeight) && ok;
  if (!enlargedPath.empty()) {
    std::vector<TRgb> big;
    int w, h;
    if (stretchW > 0) {
      w = stretchW, h = stretchH;
      big.resize(static_cast<size_t>(w) * h);
      StretchFrame(frame, reinterpret_cast<uint8_t*>(big.data()), w, h, static_cast<size_t>(w) * 3);
    } else {
      w = kLcdWidth * scale, h = kLcdHeight * scale;
      big.resize(static_cast<size_t>(w) * h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) big[static_cast<size_t>(y) * w + x] = frame.px[y / scale][x / scale];
    }
    ok = WritePicture(enlargedPath, big.data(), w, h) && ok;
  }
  return ok ? 0 : 1;
}
