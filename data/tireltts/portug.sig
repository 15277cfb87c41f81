; Acronyms of the built-in voice that the rule says wrongly. A word in
; capitals is said as a word when its letters make Portuguese syllables (a
; final stop taking an i: USP úspi, MEC mequi) and spelled otherwise; two
; capitals are spelled. Here: ACRONYM = letras (spelled though it could be
; said) or = the text to say (said though the rule spells it, or said
; otherwise). The small-letter and mixed forms (inss, Ufrj) follow.
; spelled, listed so that the small and mixed forms (inss, Ibge) are
; spelled too
ABNT = letras
IBGE = letras
ICMS = letras
IGPM = letras
INPC = letras
INSS = letras
IPCA = letras
IPTU = letras
IPVA = letras
ISS = letras
ITR = letras
OMS = letras
UBS = letras
UFBA = letras
UFMG = letras
UFPE = letras
UFPR = letras
UFRGS = letras
UFRJ = letras
UFSC = letras
; spelled though sayable
ANS = letras
CEO = letras
CEF = letras
CRO = letras
EUA = letras
IOF = letras
IPI = letras
OAB = letras
OIT = letras
ONG = letras
UE = letras
UNB = letras
USB = letras
UTI = letras
HD = letras
SSD = letras
; said as words, or said otherwise than the rule says
AIDS = áidis
OK = oquêi
OBS = observação
WWW = dáblio dáblio dáblio
HTTP = agá tê tê pê
HTTPS = agá tê tê pê ésse
; two capitals that are words
AO = ao
AS = as
DA = da
DE = de
DO = do
EM = em
EU = eu
JÁ = já
ME = me
NA = na
NO = no
OS = os
OU = ou
SE = se
SÓ = só
TE = te
UM = um
É = é
