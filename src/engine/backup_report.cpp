#include "engine/backup_report.h"

#include <cstdio>

namespace zel {

std::string zipExitMeaning(int code) {
    switch (code) {
        case 0:
            return "sorun yok";
        case 2:
            return "zip dosyası beklenmedik biçimde bitiyor";
        case 3:
            return "zip dosyasının biçiminde hata";
        case 4:
            return "bellek yetmedi";
        case 5:
            return "zip dosyasının biçiminde ağır hata";
        case 6:
            return "bir dosya zip için çok büyük";
        case 7:
            return "geçersiz açıklama";
        case 8:
            return "zip -T denetimi başarısız ya da bellek yetmedi";
        case 9:
            return "zip yarıda kesildi";
        case 10:
            return "geçici dosya hatası";
        case 11:
            return "okuma ya da konumlama hatası";
        case 12:
            return "yapılacak bir şey yok";
        case 13:
            return "zip dosyası eksik ya da boş";
        case 14:
            return "dosyaya yazılamadı (disk dolu olabilir)";
        case 15:
            return "zip dosyası oluşturulamadı (hedef klasör olmayabilir)";
        case 16:
            return "geçersiz komut satırı";
        case 18:
            return "bazı dosyalar okunamadı ve arşive girmedi";
        default:
            return "bilinmeyen hata";
    }
}

bool pairFailed(const PairOutcome& outcome) {
    return outcome.kind != PairOutcome::Kind::Archived && outcome.kind != PairOutcome::Kind::SourceMissing;
}

std::string namesText(std::string_view label, std::string_view unit, const std::vector<std::string>& names) {
    if (names.empty()) return {};
    if (names.size() == 1) return std::string(label) + ": " + names.front();
    return std::string(label) + ": " + std::to_string(names.size()) + " " + std::string(unit) + ", ilki " +
           names.front();
}

RecordDecision recordDecision(const std::vector<PairOutcome>& outcomes) {
    RecordDecision decision;
    for (const PairOutcome& o : outcomes) {
        if (pairFailed(o)) {
            return {{}, "başarısız bir klasör çifti var: " + o.source + " -> " + o.target};
        }
        if (o.kind == PairOutcome::Kind::Archived) decision.archivePath = o.archivePath;
    }
    if (decision.archivePath.empty()) decision.whyNot = "sağlam bir arşiv yok";
    return decision;
}

namespace {

std::string why(const PairOutcome& outcome) {
    if (!outcome.problem.empty()) return outcome.problem;
    if (outcome.kind == PairOutcome::Kind::ZipNotStarted) return "zip programı başlatılamadı";
    if (!outcome.exitCode) return "zip programının sonucu alınamadı";
    if (*outcome.exitCode == 0) return "arşiv oluşmadı";
    return "zip hata kodu " + std::to_string(*outcome.exitCode);
}

}  // namespace

std::string pairLogText(const PairOutcome& o) {
    switch (o.kind) {
        case PairOutcome::Kind::SourceMissing:
            return "Kaynak klasör yok, atlandı: " + o.source;
        case PairOutcome::Kind::NoRoom:
            return o.problem;
        case PairOutcome::Kind::Refused:
            return failureWarningText(o);
        case PairOutcome::Kind::Archived: {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.1f", o.seconds);
            std::string text = "Arşivlendi: " + o.source + " -> " + o.archivePath + " (" +
                               std::to_string(o.archiveBytes) + " bayt, " + seconds + " sn, " +
                               std::to_string(o.filesVerified) + " dosya doğrulandı";
            if (o.leftOutByZip > 0)
                text += ", " + std::to_string(o.leftOutByZip) + " gizli ya da sistem dosyası alınmadı";
            text += ")";
            // A file deleted while zip ran changed too: the archive is not of one moment.
            if (const std::size_t changed = o.changed.size() + o.vanished.size())
                text += " (değişen dosya: " + std::to_string(changed) + ")";
            return text;
        }
        case PairOutcome::Kind::ZipFailed:
        case PairOutcome::Kind::ZipNotStarted:
        case PairOutcome::Kind::Damaged:
        case PairOutcome::Kind::Incomplete:
        case PairOutcome::Kind::Unchecked: {
            std::string text = "Yedekleme başarısız: " + o.source + " -> " + o.archivePath + " (" + why(o);
            if (o.kind == PairOutcome::Kind::ZipFailed && o.exitCode && *o.exitCode != 0)
                text += ": " + zipExitMeaning(*o.exitCode);
            if (!o.renameFailure.empty()) text += "; yeniden adlandırılamadı: " + o.renameFailure;
            return text + ")";
        }
    }
    return {};
}

std::vector<std::string> changedFileLines(const PairOutcome& o) {
    constexpr std::size_t kNamed = 20;
    std::vector<std::string> lines;
    for (const auto& [label, files] : {std::pair{"Yedekleme sırasında değişti: ", &o.changed},
                                       std::pair{"Yedekleme sırasında silindi: ", &o.vanished}}) {
        for (std::size_t i = 0; i < files->size() && i < kNamed; ++i) lines.push_back(label + (*files)[i]);
        if (files->size() > kNamed) lines.push_back("... ve " + std::to_string(files->size() - kNamed) + " dosya daha");
    }
    return lines;
}

std::string failureWarningText(const PairOutcome& o) {
    return "Yedekleme başarısız: " + o.source + " -> " + o.target + " (" + why(o) + ")";
}

std::string runLogLine(const LocalDateTime& now, std::string_view text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d  ", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    return stamp + std::string(text) + "\r\n";
}

}  // namespace zel
