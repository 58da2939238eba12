// Caption table of the general menus in ten languages and the switch between them.
#include "framework/menucaptions.h"

#include <algorithm>

namespace qern {

MenuCaptionSet MenuCaptions;

namespace {

// One row: the caption variable and its text per language column (nullptr: the language keeps the
// caption of the language set before).
struct CaptionRow {
  std::string MenuCaptionSet::*caption;
  std::array<const char*, 10> texts;
};

// Columns: German, English, French, Italian, Swedish, Portuguese, Romanian, Korean, Spanish, Chinese.
const CaptionRow CaptionTable[] = {
    {&MenuCaptionSet::Menu,
     {"Menü", "Menu", "Menu", "Menu", "Meny", "Menu", "Meniu", "메뉴", "Menú", "菜单"}},
    {&MenuCaptionSet::File,
     {"&Datei", "&File", "&Fichier", "&File", "&Arkiv", "&Arquivo", "&Fisier", "파일(&F)", "&Archivo", "文件"}},
    {&MenuCaptionSet::FileNew,
     {"&Neu...", "&New...", "&Nouveau...", "&Nuovo...", "&Nytt...", "&Novo...", "&Fisier nou...", "새로만들기(&N)", "&Nuevo...", "新建..."}},
    {&MenuCaptionSet::FileOpen,
     {"Ö&ffnen...", "&Open...", "&Ouvrir...", "&Apri...", "&Öppna...", "&Abrir...", "&Deschide...", "열기(&O)", "&Abrir...", "打开..."}},
    {&MenuCaptionSet::FileSave,
     {"&Speichern...", "&Save...", "&Enregistrer", "&Salva", "&Spara", "&Salvar", "&Salveaza", "저장(&S)...", "&Guardar", "保存..."}},
    {&MenuCaptionSet::FileSaveAs,
     {"Speichern &Unter...", "Save &As...", "En&registrer sous...", "Sal&va con nome...", "Spara s&om...", "Salvar &como...", "Salveaza &ca...", "다른이름으로 저장(&A)", "Guardar &Como...", "另存为..."}},
    {&MenuCaptionSet::Settings,
     {"E&instellungen", "Se&ttings", "&Configuration...", "&Config...", "&Inställningar...", "&Config...", "Se&tari", "환경설정(&t)", "&Configuración...", "设置"}},
    {&MenuCaptionSet::Exit,
     {"&Beenden", "E&xit", "&Quitter", "&Esci", "&Avsluta", "S&aida", "Ie&sire", "끝내기(&x)", "&Salir", "退出"}},
    {&MenuCaptionSet::Copy,
     {"&Kopieren", "&Copy", "&Copier", "&Copiare", nullptr, "&Copiar", nullptr, "복사(&C)", "&Copiar", "复制"}},
    {&MenuCaptionSet::Print,
     {"&Drucken...", "&Print...", "I&mprimer...", "Stam&pa...", "Skri&v ut...", "&Imprimir...", "&Imprimare...", "프린트(&P)", "&Imprimir", "打印..."}},
    {&MenuCaptionSet::Edit,
     {"&Bearbeiten", "&Edit", "&Edition", "&Modifica", "&Redigera", "&Editar", "&Editare", "편집(&E)", "&Editar", "编辑’"}},
    {&MenuCaptionSet::Text,
     {"Te&xt", "Te&xt", "&Texte", "&Testo", "&Text", "&Texto", "Te&xt", "텍스트(&x)", "&Texto", "文本’"}},
    {&MenuCaptionSet::Quick,
     {"Quick", "Quick", "Rapide", "Veloce", "Snabb", "Rapido", "&Vizualizare Rapida", "Quick", "Rápido", "快捷键"}},
    {&MenuCaptionSet::SelectAll,
     {"Alles aus&wählen", "Select &All", "Select &All", "Select &All", "Select &All", "Selecionar &tudo", "Selecteaza &Tot", "전부선택(&A)", "Select &All", "选择’"}},
    {&MenuCaptionSet::View,
     {"&Ansicht", "&View", "&Présentation", "&Prospetti", "&Visa", "&Vista", "&Examinare", "보기(&V)", "&Presentar", "视图"}},
    {&MenuCaptionSet::Database,
     {"Datenban&k", "&Database", "&BDD", "&Database", "&Databas", "&BDD", "&Baza de date", "데이터베이스(&D)", "&Banco Datos", "数据库"}},
    {&MenuCaptionSet::Cad,
     {"&CAD", "&CAD", "&CAD", "&CAD", "&CAD", "&CAD", "&CAD", "&CAD", "&CAD", "CAD绘图’"}},
    {&MenuCaptionSet::ProductionDrawing,
     {"&Fertigungszeichnung", "&Production drawing", "D&essin fabrication", "Disegn&o tabella", "&Arbetsritning", "&Plano de trabalho", "&Desen de productie", "산품도(&P)", "Dibujo para &Fabricación", "产品图纸’"}},
    {&MenuCaptionSet::Document,
     {"D&okument", "D&ocument", "D&ocumentation", "D&ocumento", "D&okument", "&Documento", "D&ocument", "문서(&o)", "D&ocument", "文件"}},
    {&MenuCaptionSet::DrawingData,
     {"&Zeichnungsdaten", "&Drawing data", "&Info Dessin", "&Info Disegno", "Ritnings&information", "Informacao &do desenho", "&Informatii despre desen", "도면데이터(&D)", "&Drawing data", "图纸"}},
    {&MenuCaptionSet::ChangeInfo,
     {"Änderungen - &Info", "Modifications - &Info", "&Voir changement", "&mostra modifiche", "Visa &ändringar", "M&ostrar mudancas", "Modificari - &Informatii", "수정-정보(&I)", "Modifications - &Info", "变更信息"}},
    {&MenuCaptionSet::ChangePrintout,
     {"Änderungen - &Ausdruck", "Modifications - &Printout", "&Impr. changement", "s&tampa modifiche", "&Skriv ut ändringar", "&Impressao de mudancas", "Modificari - &La imprimanta", "수정-프린트출력(&P)", "Modifications - &Print", "打印变更"}},
    {&MenuCaptionSet::ChangeNew,
     {"&Neue Änderung", "Modification - &New", "&Nouveau changement", "&nouvo esp.modifica", "&Ny ändring", "&Nova mudanca", "Modificari - &Nou", "수정-새로 만들기(&N)", "&New", "最新变更"}},
    {&MenuCaptionSet::ChangeEditLast,
     {"Letzte Änderung &bearbeiten", "&Edit previous modification", "&Change changement...", "&variaz. esp.modifica", "&Modifiera ändringar", "&Alterar mudancas...", "&Editeaza modif. prec.", "이전의 수정편집(&E)", "&Edit previous modification", "编辑变更 "}},
    {&MenuCaptionSet::ChangeDeleteLast,
     {"Letzte Änderung &löschen", "&Delete previous modification", "&Annuler changement", "&annul. esp.modifica", "&Radera ändring", "&Deletar mudanca", "&Sterge modif. prec.", "이전의 수정삭제(&D)", "&Delete previous modification", "删除变更"}},
    {&MenuCaptionSet::Help,
     {"&Hilfe", "&Help", "&Aide", "&Help", "&Hjälp", "Aj&uda", "&Ajutor", "도움말(&H)", "&Ayuda", "帮助"}},
    {&MenuCaptionSet::HelpPicture,
     {"&Hilfebild", "&Auxiliary images", "&Aide-Image", "&Grafico Ausiliario", "&Extra grafik", "&Grafico auxiliar", "&Imagini auxiliare", "도움이미지(&A)", "D&ibujo Ayuda", "附加图片’"}},
    {&MenuCaptionSet::ErrorMessages,
     {"&Fehlermeldungen", "&Error messages", "&Message d'erreurs", "&Messaggi di Errore", "&Felmeddelanden", "&Mensagens de erro", "&mesaje de eroare", "에러메시지(&E)", "Mensajes de &Error", "错误信息"}},
    {&MenuCaptionSet::Printout,
     {"&Ausdruck", "&Printout", "&Printout", "&Stampiamo", "&Utdrag", "&Printout", "&Imprimare", "프린트출력(&P)", "&Printout", "打印"}},
    {&MenuCaptionSet::Language,
     {"&Sprache", "&Language", "&Language", "&Lingua", "&Språk", "&Language", "&Limba", "언어(&L)", "&Language", "语言"}},
    {&MenuCaptionSet::Dimensions,
     {"&Abmessungen", "&Dimensions", "&Dimensions", "&Dimensions", "&Geometri", "&Dimensions", "&Dimensiuni", "치수(&D)", "&Dimensions", "尺寸’"}},
    {&MenuCaptionSet::Table,
     {"&Tabelle", "&Table", "&Table", "&Table", "&Table", "&Table", "&Tabele", "테이블(&b)", "&Table", "表格’"}},
    {&MenuCaptionSet::Manual,
     {"Handbuch", "E-Manual", "Manuel", "E-Manual", "E-Manual", "E-Manual", "E-Manual", "E-Manual", "E-Manual", "E-Manual"}},

};

}  // namespace

void SetMenuLanguage(int n) {
  const auto it = std::find(MenuLanguageNumbers.begin(), MenuLanguageNumbers.end(), n);
  if (it == MenuLanguageNumbers.end()) return;
  const auto column = static_cast<size_t>(it - MenuLanguageNumbers.begin());
  for (const CaptionRow& row : CaptionTable)
    if (const char* text = row.texts[column]) MenuCaptions.*row.caption = text;
}

}  // namespace qern
