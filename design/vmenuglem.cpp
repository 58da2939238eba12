// The menu-word table in six languages and the switch between them.
#include "design/vmenuglem.h"

#include <array>

namespace qern {

MenuWordSet MenuWords;

namespace {

// One row: the word variable and its text per language column.
struct WordRow {
  std::string MenuWordSet::*word;
  std::array<const char*, 6> texts;
};

// Columns: German, English, Portuguese, Romanian, Korean, Chinese.
constexpr std::array<int, 6> WordLanguages = {1, 2, 6, 7, 8, 12};

const WordRow WordTable[MenuWordCount] = {
    {&MenuWordSet::Berechnung, {"&Berechnung", "&Calculation", "CÁLCULO", "&Calcul", "계산(&C)", "计算"}},
    {&MenuWordSet::Bezugsprofil, {"&Bezugsprofil", "&Reference Profile", "PERFIL DE REFERÊNCIA", "&Profil de referinta", "기준 프로파일(&R)", "基本齿廓"}},
    {&MenuWordSet::Profil, {"&profil", "&profile", "PERFIL", "&profil", "프로파일(&P)", "齿廓"}},
    {&MenuWordSet::Din5480, {"&DIN 5480", "&DIN 5480", "DIN 5480", "&DIN 5480", "DIN 5480(&D)", "DIN 5480"}},
    {&MenuWordSet::Zahneingriff, {"Zahn&eingriff", "Tooth &Mesh", "ENGRENAMENTO", "&Angrenare", "치합(&M)", "啮合"}},
    {&MenuWordSet::Festigkeit, {"&Festigkeit   ", "&Strength", "RESISTÊNCIA", "&Rezistenta", "강도(&S)", "强度"}},
    {&MenuWordSet::Geometrie, {"&Geometrie", "&Geometry", "GEOMETRIA", "&Geometrie", "형상(&G)", "几何"}},
    {&MenuWordSet::Getriebe, {"&Getriebe", "&Gear Unit", "REDUTOR", "&Reductor", "기어박스(&G)", "齿轮箱"}},
    {&MenuWordSet::IsoAuslegung, {"&ISO-Auslegung", "&ISO Design", "PROJETO ISO", "Proiectare &ISO", "ISO 설계(&I)", "ISO设计"}},
    {&MenuWordSet::Kegelradgetriebe, {"Kegelrad&getriebe", "Bevel &Gear Unit", "REDUTOR CÔNICO", "Reductor &conic", "베벨기어 감속기(&B)", "锥齿轮传动"}},
    {&MenuWordSet::Last, {"&Last", "&Load", "CARGA", "&Sarcina", "하중(&L)", "载荷"}},
    {&MenuWordSet::Lastkollektiv, {"Last&kollektiv", "Load &Spectrum", "ESPECTRO DE CARGA", "Spectru de &sarcina", "하중 스펙트럼(&S)", "载荷谱"}},
    {&MenuWordSet::Lebensdauer, {"&Lebensdauer", "&Service Life", "VIDA ÚTIL", "&Durata de viata", "수명(&L)", "寿命"}},
    {&MenuWordSet::Messen, {"&Messen    ", "&Measuring", "MEDIÇÃO", "&Masurare", "측정(&M)", "测量"}},
    {&MenuWordSet::Nabe, {"&Nabe", "&Hub", "ANEL DE ARRASTE", "&Bucsa", "허브(&H)", "毂"}},
    {&MenuWordSet::Passfeder, {"&Passfeder", "&Parallel Key", "CHAVETA", "&Pana paralela", "평행 키(&P)", "平键"}},
    {&MenuWordSet::Passung, {"&Passung   ", "&Fit", "AJUSTE", "A&justaj", "끼워맞춤(&F)", "配合"}},
    {&MenuWordSet::Planetengetriebe, {"&Planetengetriebe", "&Planetary Gear Unit", "REDUTOR PLANETÁRIO", "Reductor &planetar", "유성기어 감속기(&P)", "行星齿轮传动"}},
    {&MenuWordSet::Planetenstufe, {"&Planetenstufe", "&Planetary Stage", "ESTÁGIO PLANETÁRIO", "Treapta &planetara", "유성 단(&P)", "行星级"}},
    {&MenuWordSet::Pruefmasse, {"Prü&fmaße", "Test &Dimensions", "MEDIDAS DE CONTROLE", "Cote de &control", "검사 치수(&T)", "检验尺寸"}},
    {&MenuWordSet::Qualitaet, {"&Qualität", "&Quality", "QUALIDADE", "C&alitate", "품질(&Q)", "精度"}},
    {&MenuWordSet::Rad, {"&Rad", "&Gear", "RODA", "R&oata", "기어(&G)", "齿轮"}},
    {&MenuWordSet::Ritzel, {"&Ritzel", "&Pinion", "PINHÃO", "&Pinion", "피니언(&P)", "小齿轮"}},
    {&MenuWordSet::Schnecke, {"&Schnecke", "&Worm", "SEM-FIM", "&Melc", "웜(&W)", "蜗杆"}},
    {&MenuWordSet::Schneckenrad, {"Schnecken&rad", "Worm &Wheel", "COROA DO SEM-FIM", "Roata &melcata", "웜휠(&W)", "蜗轮"}},
    {&MenuWordSet::Spannung, {"&Spannung", "&Stress", "TENSÃO", "&Tensiune", "응력(&S)", "应力"}},
    {&MenuWordSet::Tabellenzeichnung, {"Ta&bellenzeichnung", "Ta&ble Drawing", "DESENHO DE TABELA", "Desen &tabel", "표 도면(&B)", "表格图纸"}},
    {&MenuWordSet::Tabellen, {"Ta&bellen", "Ta&bles", "TABELAS", "Ta&bele", "표(&B)", "表格"}},
    {&MenuWordSet::Tellerrad, {"&Tellerrad", "&Crown Wheel", "COROA", "Roata &plana", "크라운 기어(&C)", "冠状齿轮"}},
    {&MenuWordSet::Temperatur, {"&Temperatur   ", "&Temperature", "TEMPERATURA", "&Temperatura", "온도(&T)", "温度"}},
    {&MenuWordSet::Verzahnung, {"&Verzahnung", "&Toothing", "DENTADO", "&Dintare", "Toothing(&T)", "齿连接"}},
    {&MenuWordSet::Welle, {"&Welle", "Sh&aft", "EIXO", "Arbore", "축(&a)", "轴"}},
    {&MenuWordSet::Werkstattblatt, {"&Werkstattblatt", "&Workshop Sheet", "FOLHA DE OFICINA", "Fisa de &atelier", "작업 지시서(&W)", "工艺卡"}},
    {&MenuWordSet::Werkstofftyp, {"Werkstoff&typ", "Material &Type", "TIPO DE MATERIAL", "&Tip material", "재료 종류(&T)", "材料类型"}},
    {&MenuWordSet::Zahn, {"Zahn", "Tooth", "DENTE", "Dinte", "이", "齿"}},
    {&MenuWordSet::Zahneingriff2, {"Zahn&eingriff", "Tooth &Engagement", "ENGRENAMENTO DO DENTE", "Angrenarea &dintilor", "치 물림(&E)", "轮齿啮合"}},
    {&MenuWordSet::Zahnform, {"Zahn&form", "&Tooth Profile", "PERFIL DO DENTE", "&Forma dintelui", "이형상(&T)", "齿轮廓"}},
    {&MenuWordSet::Kugelmass, {"&Kugelmaß", "Dimension over &Balls", "MEDIDA SOBRE ESFERAS", "Cota peste &bile", "볼 측정 치수(&B)", "跨球尺寸"}},
    {&MenuWordSet::Rollenmass, {"&Rollenmaß", "Dimension over &Pins", "MEDIDA SOBRE ROLOS", "Cota peste &role", "핀 측정 치수(&P)", "跨棒尺寸"}},
    {&MenuWordSet::Zahnweite, {"&Zahnweite", "&Base Tangent Length", "MEDIDA WILDHABER", "Cota &Wildhaber", "걸치기 이두께(&W)", "公法线长度"}},
    {&MenuWordSet::GeometrieUndFestigkeit, {"Geometrie &und Festigkeit", "Geometry &and Strength", "GEOMETRIA E RESISTÊNCIA", "Geometrie &si rezistenta", "형상 및 강도(&A)", "几何与强度"}},
    {&MenuWordSet::Schneckengetriebe, {"Schnecken&getriebe", "Worm &Gear Unit", "REDUTOR SEM-FIM", "Reductor &melcat", "웜기어 감속기(&G)", "蜗杆传动"}},
    {&MenuWordSet::PolylinieFussausrundung, {"Pol&ylinie Fussausrundung", "Pol&yline Root Fillet", "POLILINHA RAIO DO PÉ", "Pol&ilinie racordare picior", "치저 필렛 폴리라인(&Y)", "齿根圆角多段线"}},
    {&MenuWordSet::Profilverschiebung, {"&Profilverschiebung", "&Profile Shift", "DESLOCAMENTO DE PERFIL", "&Deplasare de profil", "전위(&P)", "变位"}},
    {&MenuWordSet::Leistung, {"&Leistung", "&Power", "POTÊNCIA", "&Putere", "동력(&P)", "功率"}},
    {&MenuWordSet::Einbaumass, {"&Einbaumass", "&Mounting Dimension", "MEDIDA DE MONTAGEM", "Cota de &montaj", "조립 치수(&M)", "安装尺寸"}},
    {&MenuWordSet::Antrieb, {"&Antrieb", "&Drive", "ACIONAMENTO", "&Actionare", "구동(&D)", "驱动"}},
    {&MenuWordSet::Waelzkurve, {"&Wälzkurve", "&Rolling Curve", "CURVA DE ROLAMENTO", "Curba de &rostogolire", "구름 곡선(&R)", "滚动曲线"}},
    {&MenuWordSet::Zahngeometrie, {"&Zahngeometrie", "&Tooth Geometry", "GEOMETRIA DO DENTE", "&Geometria dintelui", "치형 형상(&T)", "齿轮几何"}},
    {&MenuWordSet::Teilkurven, {"Teilkurven", "Pitch Curves", "CURVAS PRIMITIVAS", "Curbe de divizare", "피치 곡선", "节曲线"}},
    {&MenuWordSet::Zahnraeder, {"Zahnräder", "Gears", "ENGRENAGENS", "Roti dintate", "기어", "齿轮"}},
    {&MenuWordSet::Waelzlager, {"&Wälzlager", "&Rolling Bearing", "ROLAMENTO", "&Rulment", "구름 베어링(&R)", "滚动轴承"}},
    {&MenuWordSet::Kegelrad, {"&Kegelrad", "&Bevel Gear", "ENGRENAGEM CÔNICA", "Roata &conica", "베벨기어(&B)", "锥齿轮"}},
    {&MenuWordSet::Zahndicke, {"Zahn&dicke", "Tooth &Thickness", "ESPESSURA DO DENTE", "&Grosimea dintelui", "이두께(&T)", "齿厚"}},
    {&MenuWordSet::Zahnstange, {"Zahn&stange", "Gear &Rack", "CREMALHEIRA", "&Cremaliera", "랙(&R)", "齿条"}},
    {&MenuWordSet::Sonderabmessungen, {"&Sonderabmessungen", "&Special Dimensions", "DIMENSÕES ESPECIAIS", "Dimensiuni &speciale", "특수 치수(&S)", "特殊尺寸"}},
    {&MenuWordSet::Hohlrad, {"&Hohlrad", "&Internal Gear", "ENGRENAGEM INTERNA", "Roata cu dantura &interioara", "내접기어(&I)", "内齿轮"}},
    {&MenuWordSet::ToothRootStrength, {"&Tooth Root Strength", "&Tooth Root Strength", "RESISTÊNCIA DO PÉ DO DENTE", "Rezistenta la &piciorul dintelui", "치원 강도(&T)", "齿根强度"}},
    {&MenuWordSet::Pitting, {"&Pitting", "&Pitting", "PITTING", "&Pitting", "피팅(&P)", "点蚀"}},
    {&MenuWordSet::InvoluteSpline, {"&Involute Spline", "&Involute Spline", "ESTRIADO EVOLVENTE", "Caneluri &evolventice", "인벌류트 스플라인(&I)", "渐开线花键"}},
    {&MenuWordSet::WoodruffKey, {"&Woodruff Key", "&Woodruff Key", "CHAVETA MEIA-LUA", "Pana &disc", "반달 키(&W)", "半圆键"}},
    {&MenuWordSet::RollAngle, {"&Roll Angle", "&Roll Angle", "ÂNGULO DE ROLAMENTO", "Unghi de &rostogolire", "구름 각(&R)", "滚动角"}},
    {&MenuWordSet::Multistage, {"&multistage", "&Multistage", "MULTIESTÁGIO", "&multietajat", "다단(&M)", "多级"}},
    {&MenuWordSet::SpecificSliding, {"Specific &Sliding", "Specific &Sliding", "DESLIZAMENTO ESPECÍFICO", "Alunecare &specifica", "비미끄럼률(&S)", "比滑动"}},
};

}  // namespace

void SetMenuWords(int language) {
  for (size_t column = 0; column < WordLanguages.size(); ++column) {
    if (WordLanguages[column] != language) continue;
    for (const WordRow& row : WordTable) MenuWords.*row.word = row.texts[column];
    return;
  }
}

}  // namespace qern
