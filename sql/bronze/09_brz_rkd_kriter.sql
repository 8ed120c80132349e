-- Rating criteria per customer and period.
CREATE TABLE brz_rkd_kriter (
    muta         VARCHAR,
    donem        VARCHAR,
    min_uzak_gun BIGINT,
    sifir_flag   INTEGER
);
