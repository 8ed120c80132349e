-- Monthly monitoring lists of corporate customers; one row per customer and list.
CREATE TABLE brz_kik_izleme (
    muta          VARCHAR,
    donem         VARCHAR,
    ykn_izl_flag  VARCHAR,
    tfrs_rating   VARCHAR,
    rating_tarihi VARCHAR,
    kik_risk      BIGINT,
    unvan         VARCHAR,
    gckm_gun_say  BIGINT,
    erkn_izlm_kod VARCHAR,
    ciss_flag     INTEGER
);
