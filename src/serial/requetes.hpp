// Every request gsicom sends to the instrument, byte for byte, and the reply
// convention it relies on. Requests are ASCII ended by CR LF.
#pragma once

namespace gsicom::requete {

inline constexpr char kReveil[] = "a\r\n";
inline constexpr char kEfface[] = "c\r\n";                  // "clear", between dialogues
inline constexpr char kNomInstrument[] = "%R1Q,5004:\r\n";  // GeoCOM 5004: instrument name
inline constexpr char kTemperature[] = "CONF/91\r\n";
inline constexpr char kListeFormats[] = "FORM/CONF/LIST\r\n";
inline constexpr char kListeJobs[] = "JOB/CONF/LIST\r\n";
inline constexpr char kSuivante[] = "?\r\n";  // next line of the listing or transfer
inline constexpr char kFormat0[] = "FORM/SET/0\r\n";
inline constexpr char kRecevoirObservations[] = "JOB/RCV/OBSERV/%d\r\n";
inline constexpr char kRecevoirCoordonnees[] = "JOB/RCV/COORD/%d\r\n";
inline constexpr char kEffacerJob[] = "JOB/ERASE/%d\r\n";

// A reply whose first byte is SUB (Ctrl-Z) ends a listing or a transfer.
inline constexpr char kFinDeDonnees = '\x1A';

}  // namespace gsicom::requete
