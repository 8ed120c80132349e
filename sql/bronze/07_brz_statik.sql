-- Static firm data: region, branch, customer type, group and responsibility.
CREATE TABLE brz_statik (
    muta               VARCHAR,
    bolge_kodu         BIGINT,
    bolge_adi          VARCHAR,
    sube_kodu          BIGINT,
    sube_adi           VARCHAR,
    must_tip_kodu      VARCHAR,
    grup_kodu          VARCHAR,
    grup_tanimi        VARCHAR,
    firma_otorize_kodu VARCHAR,
    aksiyon_sahibi     VARCHAR,
    kri_bolum          VARCHAR
);
